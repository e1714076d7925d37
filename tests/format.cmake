# Checks that every C++ file of the tree is laid out as .clang-format says; run by CTest (label format).
# Usage: cmake -DCLANG_FORMAT=path -DROOT=repository -P format.cmake
# Build trees (build, build-asan, ...) hold CMake's own probe sources, SDL's for Windows and a Wine prefix of
# thousands of files; hidden folders hold nothing of ours. Neither is searched.
file(GLOB top RELATIVE ${ROOT} ${ROOT}/*)
list(FILTER top EXCLUDE REGEX "^(build.*|\\..*)$")
set(patterns *.cpp *.cc *.h *.hpp)
set(files)
foreach(entry ${top})
  if(IS_DIRECTORY ${ROOT}/${entry})
    list(TRANSFORM patterns PREPEND ${ROOT}/${entry}/ OUTPUT_VARIABLE globs)
    file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${ROOT} ${globs})
  else()
    list(TRANSFORM patterns PREPEND ${ROOT}/ OUTPUT_VARIABLE globs)
    file(GLOB found LIST_DIRECTORIES false RELATIVE ${ROOT} ${globs})
  endif()
  list(APPEND files ${found})
endforeach()
list(REMOVE_DUPLICATES files)
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no C++ files found under ${ROOT}")
endif()
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files} WORKING_DIRECTORY ${ROOT}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "clang-format would change the files above; run: clang-format -i FILE...")
endif()
message(STATUS "${count} files formatted as .clang-format says")
