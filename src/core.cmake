# The scene, world and animation library: plain C++, no SDL, GL or X, so tests, tools and other
# front ends (the browser page, cross builds) build it with nothing but a compiler.
# Contraction stays off for anything that links it: a fused multiply-add rounds once instead of
# twice, and the same seed must build the same city everywhere.
set(gridcity_core_dir ${CMAKE_CURRENT_LIST_DIR})
set(core_sources
  ${gridcity_core_dir}/scene/scene.cpp ${gridcity_core_dir}/scene/random.cpp
  ${gridcity_core_dir}/world/world.cpp ${gridcity_core_dir}/world/mesh.cpp
  ${gridcity_core_dir}/anim/calcme.cpp ${gridcity_core_dir}/anim/camera.cpp
  ${gridcity_core_dir}/anim/traffic.cpp ${gridcity_core_dir}/anim/drift.cpp
  ${gridcity_core_dir}/anim/colour.cpp)
add_library(gridcity_core STATIC ${core_sources})
target_include_directories(gridcity_core PUBLIC ${gridcity_core_dir})
target_compile_features(gridcity_core PUBLIC cxx_std_20)
target_compile_options(gridcity_core PUBLIC -ffp-contract=off)
