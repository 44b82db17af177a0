// Why the last text operation of the calling thread failed, for the public object's last error.
// The surface implementations' text operations return only 0 on failure; the reason they
// record here tells the object which code to keep.
#pragma once

namespace vexa {

enum class TextFailure {
  kNone,             // no failure recorded (or the text output itself failed)
  kNoDeviceContext,  // no device context could be taken, on the target or the temporary
  kNoTemporary,      // the temporary surface of the keyed path could not be created
};

// Returns the reason recorded on this thread since the last call and clears it.
TextFailure TakeTextFailure();

}  // namespace vexa
