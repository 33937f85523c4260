# Seeks in a track with GStreamer's MP4 demuxer (pulling, so it may use the
# track's fragment index) and prints where each seek lands, in nanoseconds:
#   gst_seek.py TRACK SECONDS...
import sys

import gi

gi.require_version("Gst", "1.0")
from gi.repository import Gst  # noqa: E402

Gst.init(None)
pipeline = Gst.parse_launch("filesrc name=source ! qtdemux ! appsink name=sink sync=false")
pipeline.get_by_name("source").set_property("location", sys.argv[1])
sink = pipeline.get_by_name("sink")
pipeline.set_state(Gst.State.PAUSED)
pipeline.get_state(Gst.CLOCK_TIME_NONE)
for second in sys.argv[2:]:
    pipeline.seek_simple(Gst.Format.TIME, Gst.SeekFlags.FLUSH | Gst.SeekFlags.KEY_UNIT, int(float(second) * Gst.SECOND))
    pipeline.get_state(Gst.CLOCK_TIME_NONE)
    sample = sink.emit("try-pull-preroll", 5 * Gst.SECOND)
    print(sample.get_buffer().pts if sample else "none")
pipeline.set_state(Gst.State.NULL)
