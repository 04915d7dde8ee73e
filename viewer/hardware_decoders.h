#pragma once
// Hardware video decoders (those GStreamer classes "Hardware", such as the
// VA-API ones a graphics device brings) are used by the graph's automatic
// decoder choice like any other, unless the environment variable
// CINVO_HARDWARE_DECODING is "0": then they are never chosen and the
// software decoders play. They hand the video window system memory (the
// window's renderer takes nothing else, so they download into it).

// Whether the environment allows hardware decoders.
bool HardwareDecodingAllowed();
// Lowers every hardware decoder below what the automatic choice considers,
// or gives them back the rank they had. Needs GStreamer initialised.
void SetHardwareDecoding(bool allowed);
