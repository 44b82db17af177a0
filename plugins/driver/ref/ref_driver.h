// What the reference display driver counts, for tests (RefDriverGetCounters, found with dlsym).
#pragma once

struct RefDriverCounters {
  int initializations;
  int frees;
  int prototypeRequests;
  int liveSurfaces;
  int blitFrom;
  int stretchFrom;
  int copyContent;
  int nativeLines;
  int fillEffect;
  int hook73Calls;
  int hook73Last;
  int notifyOwner;
  int hook100;
  int attach;
  int detach;
  int parameterChanged;
  int lastChangedIndex;
  int hook98;
  int hook98Sum;
  int presents;
  int frameCallbacks;
  int atlasRooms;
  int functions;
  int lastFunctionCode;
  int lastFunctionData[4];
  int lastBlitFlags;
  int transformedFrom;
  int lastTransformed[12];  // a1..a12 of the last BlitTransformedFrom
};

using RefDriverGetCountersFn = const RefDriverCounters* (*)();
