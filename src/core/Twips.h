#pragma once

// Window sizes are kept in twips; the screen works in pixels, 15 twips each.
namespace Twips {
inline constexpr int PerPixel = 15;
constexpr int toPixels(int twips)
{
    return twips / PerPixel;
}
constexpr int fromPixels(int pixels)
{
    return pixels * PerPixel;
}
} // namespace Twips
