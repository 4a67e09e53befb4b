# Format layer: reading and writing a 65-point Cube 3D against OpenColorIO.
tintwise_add_bench(bench_formats SOURCES bench_formats.cpp BenchCompare.cpp
  LIBS tintwise_formats PkgConfig::OCIO)
