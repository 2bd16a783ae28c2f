# The layers, from the bottom up, by their folders under src/. A layer includes its own headers
# and those of the layers below it, never those above. The build links each layer with the ones
# below it only, and tests/layering/CheckLayers.cmake holds every include to this same order.
# A folder under src/ that is in neither list belongs to no layer, and the check refuses it.

# The GUI-free core: QtCore, QtNetwork, QtDBus and the system's libraries, never a widget.
set(QUILLMOT_CORE_LAYERS platform model persistence state engine restore core presentation)
# Widgets that present and dispatch, up to the place where the program is put together.
set(QUILLMOT_GUI_LAYERS platform/gui feedback editing options mainwindow app)

set(QUILLMOT_LAYERS ${QUILLMOT_CORE_LAYERS} ${QUILLMOT_GUI_LAYERS})
