# Tavrel.exe: the compare tool's entry and its one resource script (icon 130,
# the version record, the manifest, and the jobs' and toolkit's icons that it
# includes).
add_executable(tavrel_program WIN32
  ${CMAKE_SOURCE_DIR}/tavrel/app/winmain.cpp
  ${CMAKE_SOURCE_DIR}/tavrel/app/tavrel.rc)
set_target_properties(tavrel_program PROPERTIES OUTPUT_NAME Tavrel
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(tavrel_program PRIVATE app jobs toolkit base)
# The included scripts name their icon files relative to their own folders.
target_include_directories(tavrel_program PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/toolkit
  ${CMAKE_SOURCE_DIR}/tavrel/jobs ${CMAKE_SOURCE_DIR}/tavrel/app)
file(GLOB _tavrel_icons CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/toolkit/icons/*.ico ${CMAKE_SOURCE_DIR}/tavrel/jobs/icons/*.ico
  ${CMAKE_SOURCE_DIR}/tavrel/app/res/*)
set_source_files_properties(${CMAKE_SOURCE_DIR}/tavrel/app/tavrel.rc PROPERTIES OBJECT_DEPENDS
  "${_tavrel_icons};${CMAKE_SOURCE_DIR}/toolkit/resources.rc;${CMAKE_SOURCE_DIR}/tavrel/jobs/resources.rc")
# The default key files go beside the program, where the configuration's
# "VirtualKeyFile" and "KeyBindingFile" find them.
add_custom_command(TARGET tavrel_program POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different
    ${CMAKE_SOURCE_DIR}/tavrel/app/res/VirtualKey.ini
    ${CMAKE_SOURCE_DIR}/tavrel/app/res/KeyBinding.ini
    ${CMAKE_BINARY_DIR})
