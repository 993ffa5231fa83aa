# Quenby.exe: the help viewer's entry, its resources (icons 130-132, the
# version record, the manifest) and the toolkit's resources when they exist.
add_executable(quenby_program WIN32
  ${CMAKE_SOURCE_DIR}/quenby/app/winmain.cpp
  ${CMAKE_SOURCE_DIR}/quenby/app/quenby.rc)
set_target_properties(quenby_program PROPERTIES OUTPUT_NAME Quenby
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(quenby_program PRIVATE viewer document toolkit base gdiplus)
if(TARGET toolkit_res)
  target_link_libraries(quenby_program PRIVATE toolkit_res)
endif()
