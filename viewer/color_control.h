#pragma once
// TColorControl: the picture adjustments of a video window (brightness,
// contrast, hue, saturation, sharpness, gamma, colour on/off). They reach
// the picture through the colour stage ("Overlay Mixer") the window puts
// into its graph, and only while that graph is active ("live"); otherwise
// values are only stored.
#include <QObject>

#include "viewer/overlay_mixer.h"

class TDSVideoWindowEx2;

class TColorControl : public QObject {
  Q_OBJECT
 public:
  explicit TColorControl(TDSVideoWindowEx2* owner);

  // Published properties; a value out of range raises Exception with
  // "Value %d out of range. Value must bee between ..." and keeps the old.
  int Brightness();
  void SetBrightness(int value);
  int Contrast();
  void SetContrast(int value);
  int Hue();
  void SetHue(int value);
  int Saturation();
  void SetSaturation(int value);
  int Sharpness();
  void SetSharpness(int value);
  int Gamma();
  void SetGamma(int value);
  bool ColorEnable();
  void SetColorEnable(bool value);

  // The stage's own settings, remembered when the window joined it.
  const TDDColorControl& ColorControlRecord() const { return fRecord; }

  void ReadHardwareColors();
  void ApplyColors();
  void FetchColors();
  void ResetColors();

  // The owner is not being designed and its graph exists and is active.
  bool Live() const;

 private:
  // The last colour stage of the owner's graph, or nullptr.
  GstElement* FindMixer() const;
  void Changed();

  TDSVideoWindowEx2* fOwner;
  int fBrightness = 750;
  int fContrast = 10000;
  int fHue = 0;
  int fSaturation = 10000;
  int fSharpness = 5;
  int fGamma = 1;
  bool fColorEnable = true;
  TDDColorControl fRecord;
};
