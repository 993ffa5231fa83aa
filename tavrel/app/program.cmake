# Tavrel.exe: the compare tool's entry, its resources (icon 130, the version
# record, the manifest) and the resource objects of the toolkit and the jobs
# (entry-kind icons) when their scripts exist.
add_executable(tavrel_program WIN32
  ${CMAKE_SOURCE_DIR}/tavrel/app/winmain.cpp
  ${CMAKE_SOURCE_DIR}/tavrel/app/tavrel.rc)
set_target_properties(tavrel_program PROPERTIES OUTPUT_NAME Tavrel
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(tavrel_program PRIVATE app jobs toolkit base)
# The resource objects are defined beside their scripts, possibly after this
# file is read: a target name is resolved when the build is generated.
if(EXISTS ${CMAKE_SOURCE_DIR}/toolkit/resources.rc)
  target_link_libraries(tavrel_program PRIVATE toolkit_res)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tavrel/jobs/resources.rc)
  target_link_libraries(tavrel_program PRIVATE jobs_res)
endif()
# The default key files go beside the program, where the configuration's
# "VirtualKeyFile" and "KeyBindingFile" find them.
add_custom_command(TARGET tavrel_program POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different
    ${CMAKE_SOURCE_DIR}/tavrel/app/res/VirtualKey.ini
    ${CMAKE_SOURCE_DIR}/tavrel/app/res/KeyBinding.ini
    ${CMAKE_BINARY_DIR})
