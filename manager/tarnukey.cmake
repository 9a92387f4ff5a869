# The manager program: main window, device watch, tray and the bridge host.
# Included from this folder's CMakeLists.txt.
include(${CMAKE_CURRENT_LIST_DIR}/Res/images.cmake)

# Everything but main(), so tests build real windows in process.
add_library(zvitmanager STATIC
    BannerImage.cpp
    BridgeQuestions.cpp
    CertMemoryStore.cpp
    CertReader.cpp
    CertTreeBuilder.cpp
    CommandOutput.cpp
    ConfigValues.cpp
    DeviceAccess.cpp
    DeviceModel.cpp
    DeviceWatch.cpp
    LanguageFonts.cpp
    WindowGlobals.cpp
    DialogAbout.cpp
    DialogAbout.ui
    DialogSystemCheck.cpp
    DialogSystemCheck.ui
    DialogSystemOptions.cpp
    DialogSystemOptions.ui
    MainWindow.cpp
    MainWindow.ui
    MainWindowSlots.cpp
    MessageBoxes.cpp
    OperationMessages.cpp
    PinActions.cpp
    PinOperations.cpp
    PinOutcome.cpp
    ProcessSignals.cpp
    StartupChecks.cpp
    StatusNotifierItem.cpp
    TranslatedFormat.cpp
    TrayMenu.cpp
    TrayPresence.cpp
    WindowAccess.cpp
)
set_target_properties(zvitmanager PROPERTIES AUTOMOC ON AUTOUIC ON)
target_include_directories(zvitmanager PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(zvitmanager PUBLIC zvitbridge zvitcert zvitregistry zvitimages zvitcommon_widgets zvitcommon zvitbindings
    Qt5::Widgets Qt5::DBus Threads::Threads)
add_dependencies(zvitmanager zvitimages)

add_executable(tarnukey main.cpp)
target_link_libraries(tarnukey PRIVATE zvitmanager zvitbridge)
install(TARGETS tarnukey RUNTIME DESTINATION "${ZVIT_INSTALL_BIN}")
