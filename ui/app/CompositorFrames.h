#pragma once
// Who draws the windows' frames on Wayland: the compositor, where it offers
// to, or Qt.

#include <QString>

// Whether the compositor listening at `socketPath` offers to draw frames
// (xdg-decoration). Asked on a connection of its own, waiting at most
// `timeoutMs`; false whenever it cannot tell.
bool compositorOffersFrames(const QString& socketPath, int timeoutMs = 500);

// The compositor's socket as Wayland clients find it; empty when the
// connection is handed over as a descriptor or there is none.
QString waylandSocketPath();

// Called once the application exists and before any window is shown.
void preferCompositorFrames();
