#pragma once
// Result texts of the page protocol (UTF-8); pages compare them verbatim.
inline constexpr char kResultSuccess[] = "success";
inline constexpr char kResultEnumFailed[] = "枚举设备失败";
inline constexpr char kResultOpenAppFailed[] = "打开应用失败";
inline constexpr char kResultKeepOneDevice[] = "请只保留一个设备再重试一次";
inline constexpr char kResultConnectFailed[] = "连接设备失败";
inline constexpr char kResultDevInfoFailed[] = "获取设备信息失败";
inline constexpr char kResultBadFormat[] = "参数格式不正确";
inline constexpr char kResultNoContainer[] = "没有可用容器";
inline constexpr char kResultNoCertificate[] = "没有可用证书";
