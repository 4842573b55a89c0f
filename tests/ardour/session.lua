-- Runs one headless Ardour session around the plug-in and exports the master bus.
-- Arguments are key=value pairs:
--   mode    new: make a session with the plug-in on a MIDI track; load: open a saved one
--   dir, name, rate, block, bpm   session folder and name, sample rate, block size, tempo
--   plugin  path of the plug-in copy that the scan cache lists
--   param   host value to set for the plug-in's parameter 0 (optional)
--   start, length   export range in samples; wav: folder for the exported file
--   save    1 to save the session before quitting
--   range   START:END in samples: a range marker, which the caller turns into the loop
--   capture 1 to add an audio track "capture" fed from the plug-in's track
--   loop    N: record "capture" while Ardour loops, until N jumps back
-- Every line starting with "FAIL <step>:" names the step that went wrong.

local opt = {}
for i = 1, #arg do
    local k, v = string.match (arg[i], "^([%w_]+)=(.*)$")
    if k then opt[k] = v end
end

local function fail (step, why)
    print ("FAIL " .. step .. ": " .. why)
    io.stdout:flush ()
    os.exit (1)
end

local rate  = tonumber (opt.rate)
local block = tonumber (opt.block)

AudioEngine:set_backend ("None (Dummy)", "", "")
AudioEngine:set_buffer_size (block)

local s
if opt.mode == "new" then
    s = create_session (opt.dir, opt.name, rate)
else
    s = load_session (opt.dir, opt.name)
end
if not s then fail ("session", "Ardour could not " .. opt.mode .. " the session in " .. opt.dir) end

if s:nominal_sample_rate () ~= rate then
    fail ("session", "runs at " .. s:nominal_sample_rate () .. " Hz, not " .. rate)
end

local proc
if opt.mode == "new" then
    local tm = Temporal.TempoMap.fetch_writable ()
    local bpm = tonumber (opt.bpm)
    tm:set_tempo (Temporal.Tempo (bpm, bpm, 4), Temporal.timepos_t (0))
    tm:set_meter (Temporal.Meter (4, 4), Temporal.timepos_t (0))
    Temporal.TempoMap.update (tm)

    local info
    for p in ARDOUR.LuaAPI.list_plugins ():iter () do
        if p.type == ARDOUR.PluginType.LXVST and p.path == opt.plugin then info = p end
    end
    if not info then fail ("plug-in not listed", opt.plugin .. " is not among Ardour's plug-ins") end

    -- Ardour connects a new track from a thread of its own, and a save or an
    -- export before that has no clock in it: connect it here instead.
    ARDOUR.config ():set_output_auto_connect (0)
    local tracks = s:new_midi_track (ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1),
                                     ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 2),
                                     true, info, nil, nil, 1, "clock",
                                     ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, false)
    if tracks:size () ~= 1 then fail ("session", "no MIDI track with the plug-in") end
    local track = tracks:front ()

    local out = track:output ()
    out:audio (0):connect ("Master/audio_in 1")
    out:audio (1):connect ("Master/audio_in 2")
    if not (out:audio (0):connected () and out:audio (1):connected ()) then
        fail ("session", "the track is not connected to the master bus")
    end
    proc = track:nth_plugin (0)
else
    local track = s:route_by_name ("clock")
    if track:isnil () then fail ("session", "the saved session has no track \"clock\"") end
    proc = track:nth_plugin (0)
end
if proc:isnil () then fail ("session", "the track holds no plug-in") end

if opt.capture == "1" then
    local tracks = s:new_audio_track (2, 2, nil, 1, "capture", ARDOUR.PresentationInfo.max_order,
                                      ARDOUR.TrackMode.Normal, false)
    if tracks:size () ~= 1 then fail ("session", "no capture track") end
    local input = tracks:front ():input ()
    input:disconnect_all (nil)
    input:audio (0):connect ("clock/audio_out 1")
    input:audio (1):connect ("clock/audio_out 2")
end

if opt.range then
    local from, to = string.match (opt.range, "^(%d+):(%d+)$")
    s:locations ():add_range (Temporal.timepos_t (tonumber (from)), Temporal.timepos_t (tonumber (to)))
end

if opt.param then
    if not ARDOUR.LuaAPI.set_processor_param (proc, 0, tonumber (opt.param)) then
        fail ("session", "Ardour refused the parameter value " .. opt.param)
    end
end
print (string.format ("param=%.9g", ARDOUR.LuaAPI.get_processor_param (proc, 0)))

if opt.length then
    local e = s:simple_export ()
    e:set_preset ("c4b0d7e2-5f1a-4c3e-8b62-71d9a0f4e513")
    e:set_folder (opt.wav)
    e:set_name ("clock")
    e:set_range (tonumber (opt.start), tonumber (opt.start) + tonumber (opt.length))
    if not e:run_export () then fail ("render", "the export did not finish") end
end

if opt.loop then
    local loop = s:locations ():auto_loop_location ()
    local from, to = loop:start ():samples (), loop:_end ():samples ()
    local track = s:route_by_name ("capture"):to_track ()
    if track:isnil () then fail ("session", "the saved session has no capture track") end

    track:rec_enable_control ():set_value (1, PBD.GroupControlDisposition.NoGroup)
    s:maybe_enable_record (false)
    s:request_play_loop (true, true)

    -- The Dummy backend plays in real time: watch the transport jump back.
    local last, jumps = -1, 0
    for _ = 1, 4000 do
        local now = s:transport_sample ()
        if now < last then jumps = jumps + 1 end
        last = now
        if jumps >= tonumber (opt.loop) then break end
        ARDOUR.LuaAPI.usleep (5000)
    end
    if jumps < tonumber (opt.loop) then fail ("render", "Ardour jumped back " .. jumps .. " times") end

    s:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
    for _ = 1, 1000 do
        if not s:transport_rolling () then break end
        ARDOUR.LuaAPI.usleep (10000)
    end
    if s:transport_rolling () then fail ("render", "the transport did not stop") end

    -- Ardour makes the takes after the stop, in a thread of its own.
    local playlist = track:playlist ()
    for _ = 1, 1000 do
        if playlist:region_list ():size () > jumps then break end
        ARDOUR.LuaAPI.usleep (10000)
    end

    -- Each pass is a take of one file; the analysis expects them back to back,
    -- from the file's start.
    local pass = 0
    for r in playlist:region_list ():iter () do
        if r:start ():samples () ~= pass * (to - from) then
            fail ("render", "take " .. pass .. " begins at sample " .. r:start ():samples () .. " of the file")
        end
        print ("take=" .. r:source (0):name ())
        pass = pass + 1
    end
    if pass <= jumps then fail ("render", "recorded " .. pass .. " takes in " .. jumps + 1 .. " passes") end
end

if opt.save == "1" then
    s:save_state ("", false, false, false, false, false)
end

print ("done")
io.stdout:flush ()
