# Writes the AGA8 / AGA10 constant tables as a C++ header from the published
# data files, so no coefficient is ever typed by hand.
#
#   cmake -DDATA_DIR=<folder with the csv files> -DOUTPUT=<header> -P aga8_tables.cmake
#
# Rows are placed by their component name (never by their position in the
# file), columns are found by their header name, and every number is checked
# for form before it is copied into the header verbatim.

cmake_minimum_required(VERSION 3.21)

if(NOT DATA_DIR OR NOT OUTPUT)
  message(FATAL_ERROR "aga8_tables.cmake: DATA_DIR and OUTPUT are required")
endif()

# The component order every table of the computation uses.
set(COMPONENTS
  "methane" "nitrogen" "carbon dioxide" "ethane" "propane" "water" "hydrogen sulphide"
  "hydrogen" "carbon monoxide" "oxygen" "i-butane" "n-butane" "i-pentane" "n-pentane"
  "n-hexane" "n-heptane" "n-octane" "n-nonane" "n-decane" "helium" "argon")
list(LENGTH COMPONENTS NCOMP)

set(REAL_RE "^[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][-+]?[0-9]+)?$")
set(INT_RE "^[-+]?[0-9]+$")

# Reads a csv file into <prefix>_HEADER (list of names) and <prefix>_ROW_<n>
# (lists of fields), n = 0 .. <prefix>_COUNT - 1. The tables here carry no
# quoted fields; one that does would fail the number checks below.
function(read_csv file prefix)
  file(STRINGS "${DATA_DIR}/${file}" lines ENCODING UTF-8)
  set(first TRUE)
  set(count 0)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "\r$" "" line "${line}")
    if(line STREQUAL "")
      continue()
    endif()
    string(REPLACE ";" "\\;" line "${line}")
    string(REPLACE "," ";" fields "${line}")
    if(first)
      set(${prefix}_HEADER "${fields}" PARENT_SCOPE)
      set(first FALSE)
    else()
      set(${prefix}_ROW_${count} "${fields}" PARENT_SCOPE)
      math(EXPR count "${count} + 1")
    endif()
  endforeach()
  set(${prefix}_COUNT ${count} PARENT_SCOPE)
endfunction()

# Index of a named column, or a fatal error naming the file.
function(column_index prefix name file out)
  list(FIND ${prefix}_HEADER "${name}" idx)
  if(idx LESS 0)
    message(FATAL_ERROR "${file}: column '${name}' missing")
  endif()
  set(${out} ${idx} PARENT_SCOPE)
endfunction()

# Field of a row, checked against the regular expression.
function(field prefix row column regex file out)
  list(GET ${prefix}_ROW_${row} ${column} value)
  string(STRIP "${value}" value)
  if(NOT value MATCHES "${regex}")
    message(FATAL_ERROR "${file}: row ${row}: '${value}' is not a valid number")
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# Position of a component name in the order above.
function(component_position name file out)
  string(STRIP "${name}" name)
  list(FIND COMPONENTS "${name}" idx)
  if(idx LESS 0)
    message(FATAL_ERROR "${file}: unknown component '${name}'")
  endif()
  set(${out} ${idx} PARENT_SCOPE)
endfunction()

# Per-component table: one initializer per component, in the order above.
# Writes the C++ initializer list of structs (or plain values) to <out>.
function(per_component_table file columns regex out)
  read_csv(${file} T)
  if(NOT T_COUNT EQUAL NCOMP)
    message(FATAL_ERROR "${file}: ${T_COUNT} rows, ${NCOMP} expected")
  endif()
  column_index(T component ${file} name_col)
  set(col_idx "")
  foreach(c IN LISTS columns)
    column_index(T ${c} ${file} i)
    list(APPEND col_idx ${i})
  endforeach()
  math(EXPR last_row "${T_COUNT} - 1")
  foreach(r RANGE ${last_row})
    list(GET T_ROW_${r} ${name_col} name)
    component_position("${name}" ${file} pos)
    if(DEFINED slot_${pos})
      message(FATAL_ERROR "${file}: component '${name}' listed twice")
    endif()
    set(values "")
    foreach(i IN LISTS col_idx)
      field(T ${r} ${i} "${regex}" ${file} v)
      list(APPEND values "${v}")
    endforeach()
    list(JOIN values ", " joined)
    string(STRIP "${name}" name)
    list(LENGTH values nvalues)
    if(nvalues EQUAL 1)
      set(slot_${pos} "    ${joined},  // ${name}")
    else()
      set(slot_${pos} "    {${joined}},  // ${name}")
    endif()
  endforeach()
  set(text "")
  math(EXPR last "${NCOMP} - 1")
  foreach(p RANGE ${last})
    string(APPEND text "${slot_${p}}\n")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

per_component_table(molar_masses_1994.csv "molar_mass_g_per_mol" "${REAL_RE}" MOLAR_TEXT)
per_component_table(component_params.csv "Ei_K;Ki;Gi;Qi;Fi;Si;Wi" "${REAL_RE}" PARAMS_TEXT)
per_component_table(ideal_gas_aga10.csv
  "A_cal_per_mol;B_cal_per_molK;C_cal_per_molK;D_K;E_cal_per_molK;F_K;G_cal_per_molK;H_K;I_cal_per_molK;J_K;K_cal_per_molK"
  "${REAL_RE}" IDEAL_TEXT)

# Equation-of-state terms, placed by their number n.
read_csv(eos_terms.csv E)
if(NOT E_COUNT EQUAL 58)
  message(FATAL_ERROR "eos_terms.csv: ${E_COUNT} rows, 58 expected")
endif()
column_index(E n eos_terms.csv n_col)
set(term_cols an bn cn kn un gn qn fn sn wn)
set(term_res "${REAL_RE}" "${INT_RE}" "${INT_RE}" "${INT_RE}" "${REAL_RE}"
  "${INT_RE}" "${INT_RE}" "${INT_RE}" "${INT_RE}" "${INT_RE}")
math(EXPR last_row "${E_COUNT} - 1")
foreach(r RANGE ${last_row})
  field(E ${r} ${n_col} "${INT_RE}" eos_terms.csv n)
  if(n LESS 1 OR n GREATER 58 OR DEFINED term_${n})
    message(FATAL_ERROR "eos_terms.csv: term number ${n} out of range or repeated")
  endif()
  set(values "")
  foreach(k RANGE 9)
    list(GET term_cols ${k} c)
    list(GET term_res ${k} re)
    column_index(E ${c} eos_terms.csv i)
    field(E ${r} ${i} "${re}" eos_terms.csv v)
    list(APPEND values "${v}")
  endforeach()
  list(JOIN values ", " joined)
  set(term_${n} "    {${joined}},  // ${n}")
endforeach()
set(TERMS_TEXT "")
foreach(n RANGE 1 58)
  string(APPEND TERMS_TEXT "${term_${n}}\n")
endforeach()

# Binary parameters: listed pairs only, every other pair is 1 in all four.
read_csv(binary_params.csv BP)
column_index(BP component_i binary_params.csv ci)
column_index(BP component_j binary_params.csv cj)
set(bin_cols Eij Uij Kij Gij)
math(EXPR last_row "${BP_COUNT} - 1")
foreach(r RANGE ${last_row})
  list(GET BP_ROW_${r} ${ci} name_i)
  list(GET BP_ROW_${r} ${cj} name_j)
  component_position("${name_i}" binary_params.csv pi)
  component_position("${name_j}" binary_params.csv pj)
  if(pi EQUAL pj)
    message(FATAL_ERROR "binary_params.csv: row ${r} pairs a component with itself")
  endif()
  if(pi GREATER pj)
    set(t ${pi})
    set(pi ${pj})
    set(pj ${t})
  endif()
  if(DEFINED pair_${pi}_${pj})
    message(FATAL_ERROR "binary_params.csv: pair ${name_i} / ${name_j} listed twice")
  endif()
  set(values "")
  foreach(c IN LISTS bin_cols)
    column_index(BP ${c} binary_params.csv i)
    field(BP ${r} ${i} "${REAL_RE}" binary_params.csv v)
    list(APPEND values "${v}")
  endforeach()
  list(JOIN values ", " pair_${pi}_${pj})
endforeach()
set(BINARY_TEXT "")
set(binary_count 0)
math(EXPR last "${NCOMP} - 1")
foreach(i RANGE ${last})
  foreach(j RANGE ${last})
    if(i LESS j AND DEFINED pair_${i}_${j})
      list(GET COMPONENTS ${i} ni)
      list(GET COMPONENTS ${j} nj)
      string(APPEND BINARY_TEXT "    {${i}, ${j}, ${pair_${i}_${j}}},  // ${ni} / ${nj}\n")
      math(EXPR binary_count "${binary_count} + 1")
    endif()
  endforeach()
endforeach()

set(NAMES_TEXT "")
foreach(name IN LISTS COMPONENTS)
  string(APPEND NAMES_TEXT "    \"${name}\",\n")
endforeach()

set(header "// Generated at build time from the AGA8 data files by cmake/aga8_tables.cmake.
// Do not edit: change the data files instead.
#pragma once

namespace tarnlux::aga8data {

inline constexpr int kComponentCount = ${NCOMP};
inline constexpr int kTermCount = 58;

inline constexpr const char* kComponentNames[kComponentCount] = {
${NAMES_TEXT}};

// g/mol
inline constexpr double kMolarMass[kComponentCount] = {
${MOLAR_TEXT}};

struct ComponentParams {
  double E;  // energy, K
  double K;  // size, (dm3/mol)^(1/3)
  double G;  // orientation
  double Q;  // quadrupole
  double F;  // high temperature
  double S;  // dipole
  double W;  // association
};
inline constexpr ComponentParams kComponentParams[kComponentCount] = {
${PARAMS_TEXT}};

// a, then the integer exponents b c k, the temperature exponent u and the flags g q f s w.
struct EosTerm {
  double a;
  int b;
  int c;
  int k;
  double u;
  int g;
  int q;
  int f;
  int s;
  int w;
};
inline constexpr EosTerm kTerms[kTermCount] = {
${TERMS_TEXT}};

// Pairs with any value other than 1 (i < j, 0-based); all others are 1.
struct BinaryParams {
  int i;
  int j;
  double E;
  double U;
  double K;
  double G;
};
inline constexpr int kBinaryCount = ${binary_count};
inline constexpr BinaryParams kBinary[kBinaryCount] = {
${BINARY_TEXT}};

// Ideal-gas heat capacity, enthalpy and entropy (thermochemical calories, K).
struct IdealGasCoefficients {
  double A;
  double B;
  double C;
  double D;
  double E;
  double F;
  double G;
  double H;
  double I;
  double J;
  double K;
};
inline constexpr IdealGasCoefficients kIdealGas[kComponentCount] = {
${IDEAL_TEXT}};

}  // namespace tarnlux::aga8data
")

file(WRITE "${OUTPUT}" "${header}")
