#include "sound/TuningClient.h"

#include "engine/PitchToHz.h"
#include "platform/Text.h"

#include <cmath>

namespace halvane {

namespace {

double EqualTempered(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// Any int is a note: negative and large values fold into 0..127 like the
// master's own note numbers (& 127 is the mathematical mod 128 for negatives too).
int NoteIndex(int note) {
    return note & (kTuningNotes - 1);
}

} // namespace

TuningClient::TuningClient() : TuningClient(mtsclientglobal::Instance()) {}

TuningClient::TuningClient(mtsclientglobal& global) : mGlobal(&global) {
    CopyText(mScaleName, "12-TET");
    for (int n = 0; n < kTuningNotes; ++n)
        mLocalTable[n] = EqualTempered(n);
    mGlobal->RegisterClient();
}

TuningClient::~TuningClient() {
    mGlobal->DeregisterClient();
}

bool TuningClient::ShouldFilterNote(int note) const {
    return mGlobal->HasMaster() && mGlobal->ShouldFilterNote(NoteIndex(note));
}

int32_t TuningClient::NoteToPitch(int note) const {
    const int index = NoteIndex(note);
    const int32_t equalTempered = index * 128;
    if (!mGlobal->HasMaster())
        return equalTempered;
    // The master may have gone between the two questions.
    const double f = mGlobal->HasMaster() ? mGlobal->MasterFrequency(index) : mLocalTable[index];
    // A broken table entry (NaN, infinite, zero, negative) must not steer the
    // search: NaN compares false both ways and would stop it in mid-range.
    if (!std::isfinite(f) || !(f > 0.0))
        return equalTempered;

    // Binary search on the pitch scale; reaches 4 .. 17276.
    int32_t pitch = 8640;
    int32_t step = 8640;
    do {
        step /= 2;
        const double g = PitchToHz(pitch);
        if (g > f)
            pitch -= step;
        else if (g < f)
            pitch += step;
        else
            break;
    } while (step != 0);
    return pitch;
}

} // namespace halvane
