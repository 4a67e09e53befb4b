tintwise_add_bench(bench_imaging SOURCES bench_imaging.cpp BenchCompare.cpp
  LIBS tintwise_imaging PkgConfig::TURBOJPEG)
