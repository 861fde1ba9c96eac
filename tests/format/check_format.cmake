# Fails, naming each file, when a C++ source of the project is not formatted
# as .clang-format says. Run by CTest:
#   cmake -DCLANG_FORMAT=... -DSOURCE_DIR=... -P check_format.cmake
set(folders src tests tools bench fuzz)
set(sources "")
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE found "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.h")
  list(APPEND sources ${found})
endforeach()
list(LENGTH sources count)
if(count LESS 100)
  message(FATAL_ERROR "only ${count} sources found under ${SOURCE_DIR}")
endif()

set(unformatted "")
foreach(source IN LISTS sources)
  execute_process(COMMAND "${CLANG_FORMAT}" --dry-run -Werror --style=file "${source}"
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    file(RELATIVE_PATH relative "${SOURCE_DIR}" "${source}")
    list(APPEND unformatted "${relative}")
  endif()
endforeach()
if(unformatted)
  list(JOIN unformatted "\n  " listed)
  message(FATAL_ERROR "Not formatted as .clang-format says (clang-format -i FILE mends it):\n  ${listed}")
endif()
message(STATUS "${count} sources formatted")
