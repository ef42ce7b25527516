#pragma once

#include <QSize>

// Window layouts are drawn in twips, 15 to a pixel at 96 dots per inch.
constexpr QSize fromTwips(int width, int height)
{
    return {width / 15, height / 15};
}
