#include "CtlOutput.h"

#include <cstdio>

namespace {

void print(std::FILE *stream, const QString &line)
{
    std::fputs((line + u'\n').toUtf8().constData(), stream);
    std::fflush(stream);
}

} // namespace

void printOut(const QString &line)
{
    print(stdout, line);
}

void printErr(const QString &line)
{
    print(stderr, line);
}
