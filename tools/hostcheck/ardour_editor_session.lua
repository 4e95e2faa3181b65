-- Makes an Ardour session with one MIDI track playing Halvane, for opening
-- the plug-in's editor in Ardour's GUI. Run by scripts/check-real-hosts.sh
-- with the audio engine the GUI will use (HALVANE_ARDOUR_BACKEND, "JACK"):
-- a session made with another one makes the GUI stop and ask.
AudioEngine:set_backend(os.getenv("HALVANE_ARDOUR_BACKEND") or "None (Dummy)", "", "")
AudioEngine:start(false)
Session = create_session(os.getenv("HALVANE_ARDOUR_SESSION"), "halvane-editor", 48000)
assert(Session, "cannot create an Ardour session")
local instrument = nil
for p in ARDOUR.LuaAPI.list_plugins():iter() do
  if p.type == ARDOUR.PluginType.LXVST and p.name == "Halvane" then
    instrument = p
  end
end
assert(instrument, "Ardour does not list Halvane")
local tracks = Session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
  ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), true, instrument, nil, nil, 1, "Halvane",
  ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)
print(string.format("tracks: %d", tracks:size()))
Session:save_state("", false, false, false, false, false)
close_session()
AudioEngine:stop(false)
