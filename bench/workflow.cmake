# The workflow library: the four scopes of one picture against OpenColorIO's pass over it.
if(TARGET tintwise_workflow)
  tintwise_add_bench(bench_workflow SOURCES bench_workflow.cpp BenchCompare.cpp
    LIBS tintwise_workflow PkgConfig::OCIO)
endif()
