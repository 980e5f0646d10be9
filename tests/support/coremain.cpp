#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The programs the tests start speak English unless a test asks for Korean
    // (LANG=ko_KR.UTF-8 in that program's environment), whatever the machine's locale.
    qputenv("LANG", "C.UTF-8");
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
