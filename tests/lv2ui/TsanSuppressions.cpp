// Under the thread sanitizer: pango starts a font-loading thread inside the uninstrumented fontconfig
// and GLib, whose own locking the sanitizer cannot see (it reports pangocairo unlocking a GMutex it
// never saw locked); their reports are theirs, not ours.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libfontconfig.so.1\n"
         "called_from_lib:libglib-2.0.so.0\n"
         "called_from_lib:libgobject-2.0.so.0\n"
         "called_from_lib:libpango-1.0.so.0\n"
         "called_from_lib:libpangoft2-1.0.so.0\n"
         "called_from_lib:libharfbuzz.so.0\n"
         "called_from_lib:libfreetype.so.6\n"
         "mutex:libpangocairo-1.0.so.0\n";
}
