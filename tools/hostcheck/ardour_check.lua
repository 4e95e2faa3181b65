-- Loads Halvane in a headless Ardour session (dummy audio backend) and prints
-- what Ardour sees of it. Run by scripts/check-real-hosts.sh.
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:start(false)
Session = create_session(os.getenv("HALVANE_ARDOUR_SESSION"), "halvane-check", 44100)
assert(Session, "cannot create an Ardour session")
for p in ARDOUR.LuaAPI.list_plugins():iter() do
  if p.type == ARDOUR.PluginType.LXVST and p.name == "Halvane" then
    print(string.format("listed: name=%s vendor=%s category=%s inputs=%d outputs=%d instrument=%s",
      p.name, p.creator, p.category, p.n_inputs:n_audio(), p.n_outputs:n_audio(), tostring(p:is_instrument())))
  end
end
local proc = ARDOUR.LuaAPI.new_plugin(Session, "Halvane", ARDOUR.PluginType.LXVST, "")
if proc:isnil() then
  print("instance: none")
else
  local plug = proc:to_insert():plugin(0)
  print(string.format("instance: name=%s parameters=%d first=%s last=%s", plug:name(),
    plug:parameter_count(), plug:parameter_label(0), plug:parameter_label(plug:parameter_count() - 1)))
end
close_session()
AudioEngine:stop(false)
