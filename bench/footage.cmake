tintwise_add_bench(bench_footage SOURCES bench_footage.cpp BenchCompare.cpp
  LIBS tintwise_imaging PkgConfig::OCIO)
