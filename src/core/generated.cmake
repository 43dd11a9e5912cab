# Constant tables generated from data files at build time.

# AGA8 detail characterization and AGA10 ideal-gas tables, from the published
# data (never typed by hand). The header is rebuilt whenever a data file or the
# generator changes.
set(TARNLUX_AGA8_DATA_DIR "${TARNLUX_SHARED_DIR}/data/aga8")
set(TARNLUX_AGA8_TABLES_H "${CMAKE_CURRENT_BINARY_DIR}/generated/aga8_tables.h")
set(TARNLUX_AGA8_GENERATOR "${PROJECT_SOURCE_DIR}/cmake/aga8_tables.cmake")
set(TARNLUX_AGA8_INPUTS
  molar_masses_1994.csv component_params.csv eos_terms.csv binary_params.csv ideal_gas_aga10.csv)
list(TRANSFORM TARNLUX_AGA8_INPUTS PREPEND "${TARNLUX_AGA8_DATA_DIR}/")

add_custom_command(
  OUTPUT "${TARNLUX_AGA8_TABLES_H}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/generated"
  COMMAND "${CMAKE_COMMAND}" "-DDATA_DIR=${TARNLUX_AGA8_DATA_DIR}" "-DOUTPUT=${TARNLUX_AGA8_TABLES_H}"
          -P "${TARNLUX_AGA8_GENERATOR}"
  DEPENDS "${TARNLUX_AGA8_GENERATOR}" ${TARNLUX_AGA8_INPUTS}
  COMMENT "Generating AGA8 constant tables"
  VERBATIM)
target_sources(tarnlux_core PRIVATE "${TARNLUX_AGA8_TABLES_H}")
