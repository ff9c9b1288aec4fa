#include "application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    zj::TApplication application(argc, argv);
    zj::SetApplicationTitle(QStringLiteral("Zorvane Java Editor"));
    return RUN_ALL_TESTS();
}
