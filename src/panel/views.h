#pragma once
// Outer heights of the window's views, in twips, and what the platform frame costs when the
// platform cannot report it (offscreen, a bare X server without a window manager).

inline constexpr int kCompactHeightTwips = 5350;  // control panel only
inline constexpr int kMonitorHeightTwips = 6645;  // data toggle on: monitor, cuts the status frame
inline constexpr int kExtendedHeightTwips = 7200; // Ctrl+J: whole monitor band
inline constexpr int kFullHeightTwips = 9100;     // emblem double click: all bands
inline constexpr int kToggleThresholdTwips = 6000;
inline constexpr int kFallbackChromeTwips = 430;
inline constexpr int kMinTitledFramePixels = 16; // thinner frames have no title bar
inline constexpr int kTwipsPerPixel = 15;
