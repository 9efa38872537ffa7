-- LuaProc.lua: rewrites each line of the response file before it is sent,
-- and may answer received frames and send on a clock.
--
-- The plug-in LuaPlugins.so runs this file once, then calls FormatLine with
-- every response line. FormatLine returns the line to send, or nil to send
-- the line as it is; an empty string sends nothing for that line. An error
-- here drops the line and shows the error text in the traffic list; a call
-- that runs for more than ten million Lua instructions is stopped, and one
-- that has no answer within a second is killed (the script then starts
-- afresh, so values kept between calls start again too).
--
-- Two more functions may be defined, for device simulation; they are used
-- only while the set's ScriptHooks is 1 (qelvor-cli --script-hooks):
--   OnFrame(type, bytes)  is given each received frame that no trigger rule
--     answered, before the split string's response: type is "R" (in tap
--     mode "A" or "B", the side that sent it) and bytes the frame's raw
--     bytes, zero bytes included. A string returned is sent as raw bytes, as
--     it is (no notation is read in it; a tap's frame is answered into its
--     side) and the usual response does not follow; "" sends nothing and
--     withholds the usual response; nil (or an error) lets it follow.
--   OnTimer()  is called once a second while the port is open; a string
--     returned is sent as raw bytes, nil or "" sends nothing.
-- Whether they exist is asked once, when the script is loaded. Each call
-- has the same limits as FormatLine, and an error is shown the same way.
--
-- The script runs in a process of its own with 64 MiB of memory and only
-- what a line formatter needs: the base functions (without load, loadfile,
-- dofile and collectgarbage), string, table, math, utf8, and os.time,
-- os.date and os.clock. It cannot run programs, open files or load code.
--
-- This sample fills three fields of an ASTM record line:
--   {DATE}  the current date, YYYYMMDD
--   {TIME}  the current time, HHMMSS
--   {SEQ}   a running number, 1 for the first line that holds it, then 2, ...
-- so that a response file such as
--   1H|\^&|||Qelvor|||||||P|1|{DATE}{TIME}
--   2O|{SEQ}|SID{SEQ}||^^^GLU
-- gives a fresh time stamp and sample number with every run.

-- Kept between calls: the plug-in keeps one Lua state while it is loaded.
local sequence = 0

function FormatLine(line)
  if not line:find("{", 1, true) then
    return nil -- nothing to fill: send the line unchanged
  end
  local now = os.date("*t")
  local filled = line
  filled = filled:gsub("{DATE}", string.format("%04d%02d%02d", now.year, now.month, now.day))
  filled = filled:gsub("{TIME}", string.format("%02d%02d%02d", now.hour, now.min, now.sec))
  if filled:find("{SEQ}", 1, true) then
    -- One number per line: every {SEQ} of the same line gets the same value.
    sequence = sequence + 1
    filled = filled:gsub("{SEQ}", tostring(sequence))
  end
  return filled
end
