# Run after a room's library is built: every file the compiler read for the
# room's sources must lie in the room itself, in a room it uses, in
# platform/system, or be the shared error header. The compiler's own
# dependency output names the files it opened, however an #include was
# spelled ("../db/x.h", <msi/db/x.h>, "#  include"), so no spelling gets by.
#
#   cmake -DROOM=sql -DALLOWED=sql,db,cfb -DPLATFORM=<source>/platform
#         -DOBJECTS=<object dir> -DCOMPILER=<c++> -DSOURCES=<a.cpp>,<b.cpp>
#         -P check_room_includes.cmake
#
# Where the generator left no dependency file (Ninja keeps them in its own
# log), the compiler is asked again with -MM.

string(REPLACE "," ";" ALLOWED "${ALLOWED}")
string(REPLACE "," ";" SOURCES "${SOURCES}")
file(REAL_PATH "${PLATFORM}" platform)
get_filename_component(project "${platform}" DIRECTORY)
set(allowed_dirs "${platform}/system")
foreach(room ${ALLOWED})
  list(APPEND allowed_dirs "${platform}/msi/${room}")
endforeach()

set(failures "")
foreach(source ${SOURCES})
  get_filename_component(name "${source}" NAME)
  get_filename_component(folder "${source}" DIRECTORY)
  get_filename_component(folder "${folder}" NAME)
  set(depfile "${OBJECTS}/${folder}/${name}.o.d")
  if(EXISTS "${depfile}")
    file(READ "${depfile}" deps)
    # Make runs the compiler from the library's build folder.
    get_filename_component(base "${OBJECTS}/../.." ABSOLUTE)
  else()
    execute_process(COMMAND ${COMPILER} -std=c++20 -MM -I${platform} "${source}" OUTPUT_VARIABLE deps
                    RESULT_VARIABLE status ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "cannot list the includes of ${source}:\n${errors}")
    endif()
    set(base "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  string(REGEX REPLACE "\\\\\n" " " deps "${deps}")
  string(REGEX REPLACE "^[^:]*:" "" deps "${deps}")
  separate_arguments(deps UNIX_COMMAND "${deps}")
  foreach(dep ${deps})
    if(NOT IS_ABSOLUTE "${dep}")
      set(dep "${base}/${dep}")
    endif()
    file(REAL_PATH "${dep}" dep)
    string(FIND "${dep}" "${project}/" in_project)
    if(NOT in_project EQUAL 0)
      continue() # the system's and libraries' headers
    endif()
    set(ok FALSE)
    foreach(dir ${allowed_dirs})
      string(FIND "${dep}" "${dir}/" at)
      if(at EQUAL 0)
        set(ok TRUE)
      endif()
    endforeach()
    if(dep STREQUAL "${platform}/msi/automation_error.h")
      set(ok TRUE)
    endif()
    if(NOT ok)
      string(APPEND failures "  ${source}\n    reads ${dep}\n")
    endif()
  endforeach()
endforeach()

if(failures)
  string(JOIN ", " rooms ${ALLOWED})
  message(FATAL_ERROR "the ${ROOM} room may read only the headers of ${rooms}, platform/system "
                      "and msi/automation_error.h:\n${failures}")
endif()
