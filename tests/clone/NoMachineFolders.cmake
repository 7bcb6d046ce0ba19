# cmake -DSOURCE=<source tree> -P NoMachineFolders.cmake
# Fails when a tracked file names an absolute folder of a developer's or a
# build machine: a clone elsewhere would not have it.
find_package(Git QUIET)
if(NOT GIT_FOUND OR NOT EXISTS "${SOURCE}/.git")
  message("not a git checkout: nothing to check")
  return()
endif()
# The folders are spelled in pieces so that this file does not name them.
set(roots "work" "home" "root" "Users")
set(pattern "")
foreach(r ${roots})
  list(APPEND pattern "[\"' =(]/${r}/[A-Za-z]")
endforeach()
list(JOIN pattern "|" pattern)
execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE}" grep -n -I -E "${pattern}" -- .
                RESULT_VARIABLE rc OUTPUT_VARIABLE found)
if(rc EQUAL 0)
  message(FATAL_ERROR "tracked files name a machine's folder:\n${found}")
endif()
