#include "AppTestSupport.h"

namespace {
[[maybe_unused]] ::testing::Environment *const environment =
    ::testing::AddGlobalTestEnvironment(new tintwise::test::TQtEnvironment);
}
