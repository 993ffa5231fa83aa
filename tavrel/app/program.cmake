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
