#include <QApplication>

#include "support/testenvironment.h"

int main(int argc, char* argv[])
{
    const auto config = PrepareTestEnvironment(argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
