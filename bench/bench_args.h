#pragma once
// What the USB benchmarks share: the offscreen platform unless another is asked for, and the
// sizes to run, from the command line or the defaults.

#include <QByteArray>
#include <QList>

inline void benchPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline QList<int> benchSizes(int argc, char *argv[], QList<int> defaults)
{
    if (argc <= 1)
        return defaults;
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QByteArray(argv[i]).toInt();
    return sizes;
}
