// A GL context for tests that draw without the application framework: one
// GLUT window per process (under Xvfb), current on the calling thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Opens the window on first use; false when no display is available.
// The window is resized to width x height and the viewport and an
// orthographic projection (origin top-left, y down) are set to match, and
// culling, blending, depth test and texturing are switched off.
bool glTestContext(int width = 640, int height = 480);

// RGBA pixels of the back buffer, rows top first (window coordinates).
std::vector<uint8_t> glReadBack(int x, int y, int width, int height);

// Saves the back buffer's region as a PNG in the artefact folder.
void glSaveArtifact(const std::string& name, int width, int height);
