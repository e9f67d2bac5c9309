# UNO SDK set-up for the office engine (office/) and the
# template generator under tools/. Only these targets see the UNO headers.
set(PELLAMONT_OFFICE_PROGRAM_DIR "/usr/lib/libreoffice/program" CACHE PATH
    "LibreOffice's program folder (type libraries, UNO runtime libraries)")
set(PELLAMONT_OFFICE_SDK_DIR "/usr/lib/libreoffice/sdk" CACHE PATH "LibreOffice SDK folder")

set(PELLAMONT_UNO_GENERATED "${CMAKE_BINARY_DIR}/uno-headers")
set(PELLAMONT_UNO_STAMP "${PELLAMONT_UNO_GENERATED}/generated.stamp")
set(PELLAMONT_UNO_TYPES
    "${PELLAMONT_OFFICE_PROGRAM_DIR}/types.rdb"
    "${PELLAMONT_OFFICE_PROGRAM_DIR}/types/offapi.rdb")

# The C++ headers of the UNO types are generated from the installed type
# libraries, so they always match the office the program talks to. The whole
# set takes a few seconds.
add_custom_command(
  OUTPUT "${PELLAMONT_UNO_STAMP}"
  COMMAND "${PELLAMONT_OFFICE_SDK_DIR}/bin/cppumaker" -Gc "-O${PELLAMONT_UNO_GENERATED}"
          ${PELLAMONT_UNO_TYPES}
  COMMAND ${CMAKE_COMMAND} -E touch "${PELLAMONT_UNO_STAMP}"
  DEPENDS ${PELLAMONT_UNO_TYPES}
  COMMENT "Generating UNO headers"
  VERBATIM)
add_custom_target(pellamont_uno_headers DEPENDS "${PELLAMONT_UNO_STAMP}")

# Everything a UNO user needs: the SDK and generated headers as system headers
# (their own warnings are not ours), the platform defines and the runtime.
add_library(pellamont_uno INTERFACE)
target_include_directories(pellamont_uno SYSTEM INTERFACE
  "${PELLAMONT_OFFICE_SDK_DIR}/include" "${PELLAMONT_UNO_GENERATED}")
target_compile_definitions(pellamont_uno INTERFACE LINUX UNX CPPU_ENV=gcc3
  PELLAMONT_OFFICE_PROGRAM_DIR="${PELLAMONT_OFFICE_PROGRAM_DIR}")
target_link_directories(pellamont_uno INTERFACE "${PELLAMONT_OFFICE_SDK_DIR}/lib")
target_link_libraries(pellamont_uno INTERFACE uno_cppu uno_cppuhelpergcc3 uno_sal)
target_link_options(pellamont_uno INTERFACE
  "LINKER:-rpath,${PELLAMONT_OFFICE_PROGRAM_DIR}")
add_dependencies(pellamont_uno pellamont_uno_headers)
