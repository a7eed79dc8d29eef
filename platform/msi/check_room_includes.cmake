# Run after a target is built: every file the compiler read for its sources
# must lie in an allowed folder or be an allowed file; the system's and
# libraries' headers (outside the project) are not checked. The compiler's
# own dependency output names the files it opened, however an #include was
# spelled ("../db/x.h", <msi/db/x.h>, "#  include"), so no spelling gets by.
# A room may read itself, the rooms it uses, platform/system and the shared
# error header; msi-transform its own folder, platform/system and the
# engine's public headers.
#
#   cmake -DTARGET=sql -DRULE="<what is allowed, for the message>"
#         -DALLOWED_DIRS=<dir>,<dir> -DALLOWED_FILES=<file>,<file>
#         -DPLATFORM=<source>/platform -DOBJECTS=<object dir> -DCOMPILER=<c++>
#         -DSOURCES=<a.cpp>,<b.cpp> -P check_room_includes.cmake
#
# Where the generator left no dependency file (Ninja keeps them in its own
# log), the compiler is asked again with -MM.

foreach(list ALLOWED_DIRS ALLOWED_FILES SOURCES)
  string(REPLACE "," ";" ${list} "${${list}}")
endforeach()
file(REAL_PATH "${PLATFORM}" platform)
get_filename_component(project "${platform}" DIRECTORY)
set(allowed_dirs "")
foreach(dir ${ALLOWED_DIRS})
  file(REAL_PATH "${dir}" dir)
  list(APPEND allowed_dirs "${dir}")
endforeach()
set(allowed_files "")
foreach(allowed_file ${ALLOWED_FILES})
  file(REAL_PATH "${allowed_file}" allowed_file)
  list(APPEND allowed_files "${allowed_file}")
endforeach()

set(failures "")
foreach(source ${SOURCES})
  get_filename_component(name "${source}" NAME)
  get_filename_component(folder "${source}" DIRECTORY)
  get_filename_component(folder "${folder}" NAME)
  # Objects sit in a subfolder named as the source's folder, or beside each other.
  set(depfile "${OBJECTS}/${folder}/${name}.o.d")
  if(NOT EXISTS "${depfile}")
    set(depfile "${OBJECTS}/${name}.o.d")
  endif()
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
    list(FIND allowed_files "${dep}" listed)
    if(NOT listed EQUAL -1)
      set(ok TRUE)
    endif()
    if(NOT ok)
      string(APPEND failures "  ${source}\n    reads ${dep}\n")
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "${TARGET} may read only ${RULE}:\n${failures}")
endif()
