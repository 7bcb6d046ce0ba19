# The three language files are put together from one fragment per owner
# (resources/lang/<owner>/<Language>.ini), so each subsystem keeps its own
# texts. The result lands in <build>/lang/.
foreach(language Chinese English German)
  file(GLOB fragments CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/lang/*/${language}.ini)
  list(SORT fragments)
  set(out ${CMAKE_BINARY_DIR}/lang/${language}.ini)
  string(REPLACE ";" "|" fragment_arg "${fragments}")
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out} "-DFRAGMENTS=${fragment_arg}" -P ${CMAKE_SOURCE_DIR}/cmake/ConcatFiles.cmake
    DEPENDS ${fragments} ${CMAKE_SOURCE_DIR}/cmake/ConcatFiles.cmake
    COMMENT "Language file ${language}.ini"
    VERBATIM)
  list(APPEND language_files ${out})
endforeach()
add_custom_target(language_files ALL DEPENDS ${language_files})
