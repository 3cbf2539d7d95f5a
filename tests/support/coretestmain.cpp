#include <QCoreApplication>

#include "support/testenvironment.h"

int main(int argc, char* argv[])
{
    const auto config = PrepareTestEnvironment(argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
