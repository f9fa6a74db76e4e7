# The engines test opens the project in the editor only to import the files
# it names in res://kestrin_check.json, as a user's editor would: once the
# editor has scanned and every one of them loads, this plugin writes
# res://kestrin_imported.txt and ends the editor at once; after two minutes
# it gives up, saying what is missing. (Godot 3.2's editor, asked to quit
# under Xvfb, now and then crashes or hangs on its way out.)
tool
extends EditorPlugin

var _files = []
var _ready_frames = 0
var _waited = 0.0


func _enter_tree():
	var file = File.new()
	if file.open("res://kestrin_check.json", File.READ) == OK:
		_files = JSON.parse(file.get_as_text()).result["files"]
		file.close()
	set_process(true)


func _process(delta):
	_waited += delta
	var missing = []
	for path in _files:
		if not ResourceLoader.exists(path):
			missing.append(path)
	if get_editor_interface().get_resource_filesystem().is_scanning() or not missing.empty():
		_ready_frames = 0
		if _waited > 120.0:
			printerr("kestrin import: not imported after 120 s: ", missing)
			OS.kill(OS.get_process_id())
		return
	_ready_frames += 1
	if _ready_frames == 10:
		var done = File.new()
		done.open("res://kestrin_imported.txt", File.WRITE)
		done.store_line(str(_files))
		done.close()
		OS.kill(OS.get_process_id())
