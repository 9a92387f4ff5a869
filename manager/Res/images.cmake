# Our drawings rendered at build time: the images compiled into the manager
# under ":/Image/Res/" and the installed banner and notification icon.
find_package(Qt5 5.15 REQUIRED COMPONENTS Gui Svg)

add_executable(zvit_svg_render ${CMAKE_CURRENT_LIST_DIR}/SvgRender.cpp)
target_link_libraries(zvit_svg_render PRIVATE Qt5::Gui Qt5::Svg)

set(zvit_res_src ${CMAKE_CURRENT_LIST_DIR})
set(zvit_res_out ${CMAKE_CURRENT_BINARY_DIR}/Res)
file(MAKE_DIRECTORY ${zvit_res_out})
set(zvit_rendered)
# Each entry: source drawing, output file, width, height.
foreach(entry
    "logo.svg;logo.ico;32;32"
    "logo.svg;logo@2x.ico;64;64"
    "device.svg;OnLine.png;32;32"
    "device_busy.svg;OnLineBusy.png;32;32"
    "cert.svg;cert.png;32;32"
    "sm2cert.svg;SM2Cert.png;32;32"
    "banner.svg;dialog.jpg;704;164"
    "notify.svg;notifyIcon.png;64;64")
  list(GET entry 0 src)
  list(GET entry 1 out)
  list(GET entry 2 w)
  list(GET entry 3 h)
  add_custom_command(OUTPUT ${zvit_res_out}/${out}
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
              $<TARGET_FILE:zvit_svg_render> ${zvit_res_src}/${src} ${zvit_res_out}/${out} ${w} ${h}
      DEPENDS zvit_svg_render ${zvit_res_src}/${src}
      COMMENT "Rendering ${out}" VERBATIM)
  list(APPEND zvit_rendered ${zvit_res_out}/${out})
endforeach()

# The resource collection names files relative to itself: prefix "/Image",
# folder "Res".
set(zvit_qrc ${CMAKE_CURRENT_BINARY_DIR}/zvit_images.qrc)
file(WRITE ${zvit_qrc}.in "<RCC>\n  <qresource prefix=\"/Image\">\n")
foreach(name logo.ico logo@2x.ico OnLine.png OnLineBusy.png cert.png SM2Cert.png)
  file(APPEND ${zvit_qrc}.in "    <file>Res/${name}</file>\n")
endforeach()
file(APPEND ${zvit_qrc}.in "  </qresource>\n</RCC>\n")
configure_file(${zvit_qrc}.in ${zvit_qrc} COPYONLY)

set(zvit_images_cpp ${CMAKE_CURRENT_BINARY_DIR}/qrc_zvit_images.cpp)
add_custom_command(OUTPUT ${zvit_images_cpp}
    COMMAND Qt5::rcc --name zvit_images --output ${zvit_images_cpp} ${zvit_qrc}
    DEPENDS ${zvit_rendered} ${zvit_qrc}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    COMMENT "Compiling the manager's images" VERBATIM)

add_library(zvitimages STATIC ${zvit_images_cpp})
target_link_libraries(zvitimages PUBLIC Qt5::Core)

install(FILES ${zvit_res_out}/dialog.jpg ${zvit_res_out}/notifyIcon.png DESTINATION "${ZVIT_INSTALL_RES}")
