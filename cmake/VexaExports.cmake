# The ordinal table: src/exports/list/*.list name every exported symbol with its fixed number.
# From them the build generates the lookup table source and the linker version script, and
# after linking it checks that the library exports nothing the lists do not name.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(VEXA_EXPORTS_TOOL ${PROJECT_SOURCE_DIR}/scripts/exports.py)
file(GLOB VEXA_ORDINAL_LISTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/exports/list/*.list)
set(VEXA_ORDINAL_TABLE_SOURCE ${PROJECT_BINARY_DIR}/generated/ordinal_table.cpp)
set(VEXA_VERSION_SCRIPT ${PROJECT_BINARY_DIR}/generated/vexa.map)
add_custom_command(
  OUTPUT ${VEXA_ORDINAL_TABLE_SOURCE} ${VEXA_VERSION_SCRIPT}
  COMMAND Python3::Interpreter ${VEXA_EXPORTS_TOOL} generate
          --lists ${PROJECT_SOURCE_DIR}/src/exports/list
          --table ${VEXA_ORDINAL_TABLE_SOURCE} --version-script ${VEXA_VERSION_SCRIPT}
  DEPENDS ${VEXA_ORDINAL_LISTS} ${VEXA_EXPORTS_TOOL}
  COMMENT "Generating the ordinal table"
  VERBATIM)
add_custom_target(vexa_ordinal_table DEPENDS ${VEXA_ORDINAL_TABLE_SOURCE} ${VEXA_VERSION_SCRIPT})

function(vexa_check_exports lib objs)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/generated/objects-$<CONFIG>.txt
       CONTENT "$<JOIN:$<TARGET_OBJECTS:${objs}>,\n>\n")
  add_custom_command(TARGET ${lib} POST_BUILD
    COMMAND Python3::Interpreter ${VEXA_EXPORTS_TOOL} check
            --lists ${PROJECT_SOURCE_DIR}/src/exports/list
            --objects ${PROJECT_BINARY_DIR}/generated/objects-$<CONFIG>.txt
            --source-root ${PROJECT_SOURCE_DIR}
    VERBATIM)
  # `cmake --build --target exports` assigns ordinals to newly exported symbols.
  add_custom_target(exports
    COMMAND Python3::Interpreter ${VEXA_EXPORTS_TOOL} sync
            --lists ${PROJECT_SOURCE_DIR}/src/exports/list
            --objects ${PROJECT_BINARY_DIR}/generated/objects-$<CONFIG>.txt
            --source-root ${PROJECT_SOURCE_DIR}
    DEPENDS ${objs}
    VERBATIM)
endfunction()
