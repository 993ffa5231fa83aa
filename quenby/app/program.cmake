# Quenby.exe: the help viewer's entry and its one resource script (icons
# 130-132, the version record, the manifest, and the toolkit's icons that it
# includes).
add_executable(quenby_program WIN32
  ${CMAKE_SOURCE_DIR}/quenby/app/winmain.cpp
  ${CMAKE_SOURCE_DIR}/quenby/app/quenby.rc)
set_target_properties(quenby_program PROPERTIES OUTPUT_NAME Quenby
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(quenby_program PRIVATE viewer document toolkit base gdiplus)
# The included script names its icon files relative to its own folder.
target_include_directories(quenby_program PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/toolkit
  ${CMAKE_SOURCE_DIR}/quenby/app)
file(GLOB _quenby_icons CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/toolkit/icons/*.ico ${CMAKE_SOURCE_DIR}/quenby/app/icons/*.ico)
set_source_files_properties(${CMAKE_SOURCE_DIR}/quenby/app/quenby.rc PROPERTIES OBJECT_DEPENDS
  "${_quenby_icons};${CMAKE_SOURCE_DIR}/toolkit/resources.rc;${CMAKE_SOURCE_DIR}/quenby/app/quenby.manifest")
