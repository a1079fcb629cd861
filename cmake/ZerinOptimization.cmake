# Whole-program and profile-guided optimisation of the engine's Release build.
#
# LTO (ZERIN_LTO): the hot paths cross files (moves, pattern bookkeeping, threat sets),
# and inlining across them pays.
#
# PGO (ZERIN_PGO): the build compiles an instrumented engine in a nested build tree
# (pgo-generate/), runs its `bench` (the built-in benchmark positions) and compiles the
# engine again with the profile it wrote. The profile only steers code layout and
# inlining: every reply, value and node count is the same with it and without it.
# A cross build runs the instrumented engine through CMAKE_CROSSCOMPILING_EMULATOR
# (Wine for the Windows program).
#
# Both apply to GCC Release builds without sanitizers or fuzzing; they skip themselves
# for other compilers and toolchains (clang's fuzz build, emscripten) and build types.
# Switch them off with -DZERIN_PGO=OFF / -DZERIN_LTO=OFF.

option(ZERIN_LTO "Link-time optimisation of Release builds" ON)
option(ZERIN_PGO "Profile-guided optimisation of Release builds (the build profiles its own bench)" ON)
# Set by the nested build that writes the profile: "generate", and the profile folder.
set(ZERIN_PGO_PHASE "" CACHE INTERNAL "")
set(ZERIN_PGO_DIR "" CACHE INTERNAL "")

set(ZERIN_OPTIMIZED_BUILD OFF)
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT ZERIN_SANITIZE AND NOT ZERIN_FUZZ
   AND NOT CMAKE_SYSTEM_NAME STREQUAL "Emscripten")
  set(ZERIN_OPTIMIZED_BUILD ON)
endif()

# LTO, except in the profile-writing build (the profile is taken before any inlining, so
# it needs none, and builds faster without).
if(ZERIN_LTO AND ZERIN_OPTIMIZED_BUILD AND NOT ZERIN_PGO_PHASE STREQUAL "generate")
  include(CheckIPOSupported)
  check_ipo_supported(RESULT ZERIN_IPO OUTPUT ZERIN_IPO_MESSAGE LANGUAGES CXX)
  if(ZERIN_IPO)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
  endif()
endif()

set(ZERIN_PGO_ACTIVE OFF)
if(ZERIN_PGO AND ZERIN_OPTIMIZED_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU"
   AND (NOT CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR))
  set(ZERIN_PGO_ACTIVE ON)
endif()

# The profile files are named after the objects' paths within their build tree, so the
# two trees' objects find each other's counts.
function(zerin_pgo_flags phase dir out)
  set(flags -fprofile-dir=${dir} -fprofile-prefix-path=${CMAKE_BINARY_DIR})
  if(phase STREQUAL "generate")
    list(APPEND flags -fprofile-generate -fprofile-update=single)
  else()
    # Code the bench does not reach keeps its ordinary optimisation.
    list(APPEND flags -fprofile-use -fprofile-partial-training -Wno-missing-profile)
  endif()
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

# Called once the engine's targets exist.
function(zerin_apply_pgo)
  if(ZERIN_PGO_PHASE STREQUAL "generate")
    zerin_pgo_flags(generate ${ZERIN_PGO_DIR} flags)
    target_compile_options(zerin_core PRIVATE ${flags})
    target_compile_options(pbrain-zerin PRIVATE ${flags})
    target_link_options(pbrain-zerin PRIVATE -fprofile-generate)
    return()
  endif()
  if(NOT ZERIN_PGO_ACTIVE)
    return()
  endif()
  include(ExternalProject)
  set(pgo_dir ${CMAKE_BINARY_DIR}/pgo-profile)
  set(pgo_build ${CMAKE_BINARY_DIR}/pgo-generate)
  set(pgo_engine ${pgo_build}/pbrain-zerin${CMAKE_EXECUTABLE_SUFFIX})
  set(pgo_args -DCMAKE_BUILD_TYPE=Release -DZERIN_TESTS=OFF -DZERIN_BENCH=OFF -DZERIN_PGO_PHASE=generate
               -DZERIN_PGO_DIR=${pgo_dir}/data -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER})
  if(CMAKE_TOOLCHAIN_FILE)
    list(APPEND pgo_args -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE})
  endif()
  # Under make the nested build shares the outer build's jobs.
  if(CMAKE_GENERATOR MATCHES "Make")
    set(pgo_build_command $(MAKE) pbrain-zerin)
  else()
    set(pgo_build_command ${CMAKE_COMMAND} --build ${pgo_build} --target pbrain-zerin)
  endif()
  ExternalProject_Add(zerin_pgo_generate
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${pgo_build}
    CMAKE_ARGS ${pgo_args}
    BUILD_COMMAND ${pgo_build_command}
    BUILD_BYPRODUCTS ${pgo_engine}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
  # A fresh profile whenever the instrumented engine changes: the old counts go first,
  # since the instrumented program adds to what it finds.
  add_custom_command(
    OUTPUT ${pgo_dir}/profile.stamp
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${pgo_dir}/data
    COMMAND ${CMAKE_COMMAND} -E make_directory ${pgo_dir}/data
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} ${pgo_engine} bench > ${pgo_dir}/bench.txt
    COMMAND ${CMAKE_COMMAND} -E touch ${pgo_dir}/profile.stamp
    DEPENDS zerin_pgo_generate ${pgo_engine}
    WORKING_DIRECTORY ${pgo_build}
    COMMENT "Profiling the instrumented engine's bench"
    VERBATIM)
  add_custom_target(zerin_pgo_profile DEPENDS ${pgo_dir}/profile.stamp)
  add_dependencies(zerin_core zerin_pgo_profile)
  zerin_pgo_flags(use ${pgo_dir}/data flags)
  target_compile_options(zerin_core PRIVATE ${flags})
  target_compile_options(pbrain-zerin PRIVATE ${flags})
  # Objects compile again when the profile changes.
  get_target_property(sources zerin_core SOURCES)
  set_property(SOURCE ${sources} src/main.cpp APPEND PROPERTY OBJECT_DEPENDS ${pgo_dir}/profile.stamp)
endfunction()
