// Parameter state and the program list of the frame.

#include <cstring>

#include "platform/Text.h"
#include "plugin/IPlugBase.h"

namespace halvane {

namespace {

std::string LimitProgramName(const std::string& name) {
    // Keep the text up to an embedded terminator and at most the name length.
    std::string result(name.c_str());
    if (result.size() > static_cast<std::size_t>(IPlugBase::kMaxProgramNameLength))
        result.resize(static_cast<std::size_t>(IPlugBase::kMaxProgramNameLength));
    return result;
}

} // namespace

void IPlugBase::WriteChunkHeader(ChunkBuffer& chunk) {
    chunk.Put(kChunkMagic);
    chunk.Put(kChunkVersion);
}

int IPlugBase::ReadChunkHeader(const ChunkBuffer& chunk, int32_t* version) {
    int32_t magic = 0, v = 0;
    int pos = chunk.Get(&magic, 0);
    if (pos < 0 || magic != kChunkMagic) {
        if (version)
            *version = 0;
        return 0;
    }
    pos = chunk.Get(&v, pos);
    if (version)
        *version = pos < 0 ? 0 : v;
    return pos;
}

bool IPlugBase::SerializeParams(ChunkBuffer& chunk) {
    ScopedLock hold(lock_);
    bool ok = true;
    for (const PlugParam& p : params_)
        ok = chunk.Put(p.Value()) && ok;
    return ok && !chunk.Empty();
}

int IPlugBase::UnserializeParams(const ChunkBuffer& chunk, int pos) {
    ScopedLock hold(lock_);
    for (PlugParam& p : params_) {
        if (pos < 0)
            break;
        double v = 0.0;
        pos = chunk.Get(&v, pos);
        if (pos < 0) {
            p.SetLimited(0.0);
            break;
        }
        p.SetLimited(v);
    }
    for (int i = 0; i < NParams(); ++i)
        ParamChanged(i);
    return pos;
}

void IPlugBase::ModifyCurrentPreset(const char* name) {
    Program* program = GetProgram(currentProgram_);
    if (!program)
        return;
    program->state.Clear();
    WriteState(program->state);
    if (name && name[0] != '\0')
        program->name = LimitProgramName(name);
}

const char* IPlugBase::ProgramName(int index) const {
    const Program* program = GetProgram(index);
    return program ? program->name.c_str() : "";
}

bool IPlugBase::RestoreProgram(int index) {
    Program* program = GetProgram(index);
    if (!program)
        return false;
    bool ok;
    if (program->initialised) {
        ok = ReadState(program->state, 0) > 0;
    } else {
        int users = 0;
        for (const Program& p : programs_)
            if (p.name.find("user preset") != std::string::npos)
                ++users;
        char name[64];
        FormatText(name, sizeof(name), "%s %d", "user preset", users + 1);
        program->initialised = true;
        program->name = name;
        program->state.Clear();
        ok = WriteState(program->state);
    }
    if (ok) {
        currentProgram_ = index;
        ProgramSelected();
        RefreshEditorParams();
    }
    return ok;
}

void IPlugBase::FillEmptyPrograms() {
    for (Program& p : programs_) {
        if (p.initialised)
            continue;
        p.initialised = true;
        p.name = "Empty";
        p.state.Clear();
        WriteState(p.state);
    }
}

bool IPlugBase::SerializePresets(ChunkBuffer& chunk) {
    bool ok = true;
    for (const Program& p : programs_) {
        const int before = chunk.Size();
        ok = chunk.PutString(p.name) && ok;
        ok = chunk.Put(static_cast<uint8_t>(p.initialised ? 1 : 0)) && ok;
        if (p.initialised)
            ok = chunk.PutChunk(p.state) && ok;
        ok = ok && chunk.Size() > before;
    }
    return ok;
}

int IPlugBase::UnserializePresets(const ChunkBuffer& chunk, int pos) {
    for (Program& p : programs_) {
        if (pos < 0)
            break;
        std::string name;
        pos = chunk.GetString(name, pos);
        if (pos < 0)
            break; // a truncated bank keeps this program's own name
        p.name = LimitProgramName(name);
        uint8_t initialised = 0;
        pos = chunk.Get(&initialised, pos);
        if (pos < 0)
            break;
        const bool wasInitialised = p.initialised;
        p.initialised = initialised != 0;
        if (p.initialised) {
            pos = ReadState(chunk, pos);
            if (pos > 0) {
                p.state.Clear();
                WriteState(p.state);
            } else if (p.state.Empty()) {
                // Initialised with no state would later be written as a
                // program without its chunk, corrupting every bank saved.
                p.initialised = wasInitialised;
            }
        }
    }
    RestoreProgram(currentProgram_);
    return pos;
}

} // namespace halvane
