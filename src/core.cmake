# The scene, world and animation library: plain C++, no SDL, GL or X, so tests, tools and other
# front ends (the browser page, cross builds) build it with nothing but a compiler.
# Contraction stays off for anything that links it: a fused multiply-add rounds once instead of
# twice, and the same seed must build the same city everywhere.
# SPDX-License-Identifier: MIT
set(gridcity_core_dir ${CMAKE_CURRENT_LIST_DIR})
set(core_sources
  ${gridcity_core_dir}/scene/scene.cpp ${gridcity_core_dir}/scene/random.cpp
  ${gridcity_core_dir}/scene/dump.cpp
  ${gridcity_core_dir}/world/world.cpp ${gridcity_core_dir}/world/mesh.cpp
  ${gridcity_core_dir}/anim/calcme.cpp ${gridcity_core_dir}/anim/camera.cpp
  ${gridcity_core_dir}/anim/traffic.cpp ${gridcity_core_dir}/anim/drift.cpp
  ${gridcity_core_dir}/anim/colour.cpp)
add_library(gridcity_core STATIC ${core_sources})
target_include_directories(gridcity_core PUBLIC ${gridcity_core_dir})
target_compile_features(gridcity_core PUBLIC cxx_std_20)
target_compile_options(gridcity_core PUBLIC -ffp-contract=off)

# The dump's hash is xxHash's XXH3, header-only: its one header is reached through a folder of
# its own in the build tree, so no other header of the system's comes into reach with it.
find_path(gridcity_xxhash xxhash.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/xxhash)
file(CREATE_LINK ${gridcity_xxhash}/xxhash.h ${CMAKE_BINARY_DIR}/xxhash/xxhash.h SYMBOLIC)
target_include_directories(gridcity_core PRIVATE ${CMAKE_BINARY_DIR}/xxhash)

# 32-bit x86 defaults to x87 maths, whose 80-bit registers round differently; SSE2 rounds each
# float operation to float as every other processor does. (WebAssembly reports x86 too.)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT EMSCRIPTEN
   AND CMAKE_SYSTEM_PROCESSOR MATCHES "^([iI][3-6]86|x86|X86|x86_64|AMD64)$")
  target_compile_options(gridcity_core PUBLIC -msse2 -mfpmath=sse)
endif()

# Flags that would make the core inexact are refused rather than quietly overridden, wherever
# they come from: the cache, the environment's CXXFLAGS, or options added to the target later.
# (A source built by other means meets the static_assert in scene/exact.h.)
function(gridcity_core_refuse_inexact)
  get_target_property(opts gridcity_core COMPILE_OPTIONS)
  set(flags "${CMAKE_CXX_FLAGS} ${opts}")
  foreach(config ${CMAKE_BUILD_TYPE} ${CMAKE_CONFIGURATION_TYPES})
    string(TOUPPER "${config}" config)
    string(APPEND flags " ${CMAKE_CXX_FLAGS_${config}}")
  endforeach()
  set(inexact "-ffp-contract=(fast|on)|-ffast-math|-Ofast|-funsafe-math-optimizations"
              "|-fassociative-math|-freciprocal-math|-ffp-model=fast"
              "|-mfpmath=(387|both|sse\\+387|387\\+sse)")
  string(JOIN "" inexact ${inexact})
  string(REGEX MATCH "(${inexact})" found "${flags}")
  if(found)
    message(FATAL_ERROR "gridcity's core must build with exact float maths, and ${found} "
                        "would change its results: remove it from the compile flags")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL gridcity_core_refuse_inexact)
