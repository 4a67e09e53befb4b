# The desktop program: the whole Apply handler of the main window against OpenColorIO applying the
# same lattice to the same picture.
if(TARGET tintwise_app)
  tintwise_add_bench(bench_app SOURCES bench_app.cpp BenchCompare.cpp
    LIBS tintwise_app PkgConfig::OCIO)
endif()
