# Checks that every C++ file of the tree is laid out as .clang-format says; run by CTest (label format).
# Usage: cmake -DCLANG_FORMAT=path -DROOT=repository -P format.cmake
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${ROOT}
     ${ROOT}/*.cpp ${ROOT}/*.cc ${ROOT}/*.h ${ROOT}/*.hpp)
# Build trees (build, build-asan, ...) hold CMake's own probe sources; hidden folders hold nothing of ours.
list(FILTER files EXCLUDE REGEX "^(build[^/]*|\\.[^/]*)/")
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
