#pragma once
// The renderers the graph creates itself while rendering a file: one audio
// renderer per audio stream, and a frame-discarding video renderer when no
// video window has put its own renderer into the graph.
#include <gst/gst.h>

#include <QString>

// "audioconvert ! audioresample ! audiopanorama ! volume ! <sink>" in a bin
// of type CLSID_AudioRender with one input pin "sink". The sink is
// autoaudiosink, or the element (or description) in CINVO_AUDIO_SINK.
// nullptr with `error` set when the sink cannot be made.
GstElement* CreateAudioRenderer(QString* error);
// A bin of type CLSID_NullRenderer that takes raw video and discards it in
// time with the clock.
GstElement* CreateNullVideoRenderer();

bool IsAudioRenderer(GstElement* filter);

// Volume and balance in hundredths of a decibel (attenuation, -10000..0;
// balance > 0 attenuates the left channel, < 0 the right one).
void ApplyRendererAudio(GstElement* audioRenderer, int volumeDb, int balanceDb);
