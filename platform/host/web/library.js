// The glue between the browser host (platform/host/web/web_host.cpp) and the page
// (page.js), which the page hands to the module as Module.kpPage. Linked into
// the program's JavaScript with --js-library.
mergeInto(LibraryManager.library, {
  kp_web_screen_size: function (width, height) {
    var size = Module.kpPage.screenSize();
    HEAP32[width >> 2] = size[0];
    HEAP32[height >> 2] = size[1];
  },

  kp_web_work_area_size: function (width, height) {
    var size = Module.kpPage.workAreaSize();
    HEAP32[width >> 2] = size[0];
    HEAP32[height >> 2] = size[1];
  },

  kp_web_window_create: function (id, title, clientWidth, clientHeight, border, caption) {
    Module.kpPage.createWindow(id, UTF8ToString(title), clientWidth, clientHeight, border,
                               caption);
  },

  kp_web_window_destroy: function (id) {
    Module.kpPage.destroyWindow(id);
  },

  kp_web_window_show: function (id, state, clientWidth, clientHeight) {
    Module.kpPage.showWindow(id, state, clientWidth, clientHeight);
  },

  kp_web_canvas_reserve: function (id, width, height) {
    Module.kpPage.reserveCanvas(id, width, height);
  },

  // rgba: width x height pixels, 4 bytes each in the canvas's order.
  kp_web_canvas_put: function (id, rgba, x, y, width, height) {
    var bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    Module.kpPage.putPixels(id, bytes, x, y, width, height);
  },

  kp_web_take_events: function (records, capacity) {
    return Module.kpPage.takeEvents(HEAP32, records >> 2, capacity);
  },

  // Suspends the program until the page has queued an event.
  kp_web_wait_for_events__sig: 'v',
  kp_web_wait_for_events: function () {
    return Asyncify.handleSleep(function (wakeUp) {
      Module.kpPage.sleep(wakeUp);
    });
  },
});
