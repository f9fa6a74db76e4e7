# Plays the imported mesh.glb, tension.exr and corrected.exr of a copy of
# engines/godot/ through its player and shader, at the frames that
# res://kestrin_check.json names, and writes what Godot drew:
#
# - OUT/godot_frame_F.png: the player as a user sees it (frame F from 1),
#   the camera turned to see the whole moved mesh;
# - OUT/godot_vertices.bin: for every vertex of the mesh, its rest position
#   as Godot imported it, and at each frame the colour and the movement the
#   shader's own functions give it, each vertex drawn as one pixel of a
#   float target. The C++ test finds each vertex's point by its rest
#   position (not by its UV2, which is under test) and compares.
#
#   godot3 --path PROJECT -s res://check.gd
extends SceneTree

var config = {}


func _init():
	var file = File.new()
	file.open("res://kestrin_check.json", File.READ)
	config = JSON.parse(file.get_as_text()).result
	file.close()
	print("kestrin check: ", VisualServer.get_video_adapter_name())
	call_deferred("_run")


func _run():
	var player = load("res://player.gd").new()
	player.playing = false
	player.rows_per_frame = int(config["rows_per_frame"])
	player.colour_range = float(config["colour_range"])
	player.morph_values = int(config["morph_values"])
	var view = Viewport.new()
	view.size = Vector2(config["size"][0], config["size"][1])
	view.msaa = Viewport.MSAA_4X
	view.render_target_update_mode = Viewport.UPDATE_ALWAYS
	var camera = Camera.new()
	camera.fov = 35
	view.add_child(camera)
	camera.current = true
	view.add_child(player)
	get_root().add_child(view)

	var rest = PoolVector3Array()
	var uv2 = PoolVector2Array()
	var compressed = 0  # what the import compressed: the points are drawn so too
	for mesh in player.meshes:
		for surface in range(mesh.mesh.get_surface_count()):
			var arrays = mesh.mesh.surface_get_arrays(surface)
			rest.append_array(arrays[Mesh.ARRAY_VERTEX])
			uv2.append_array(arrays[Mesh.ARRAY_TEX_UV2])
			compressed |= mesh.mesh.surface_get_format(surface) & (Mesh.ARRAY_COMPRESS_VERTEX | Mesh.ARRAY_COMPRESS_TEX_UV2)
	var out = File.new()
	out.open(config["out"].plus_file("godot_vertices.bin"), File.WRITE)
	out.store_32(rest.size())
	out.store_32(config["frames"].size())
	for p in rest:
		_store(out, p)
	for frame in config["frames"]:
		player.set_frame(int(frame))
		var colours = yield(_read_back(player.material, rest, uv2, compressed, 0), "completed")
		var moved = yield(_read_back(player.material, rest, uv2, compressed, 1), "completed")
		out.store_32(player.frame)
		for value in colours + moved:
			_store(out, value)
		var box = AABB(rest[0] + moved[0], Vector3())
		for i in range(rest.size()):
			box = box.expand(rest[i] + moved[i])
		var yaw = deg2rad(config["view"][0])
		var pitch = deg2rad(config["view"][1])
		player.frame_box(camera, box, Vector3(sin(yaw) * cos(pitch), sin(pitch), cos(yaw) * cos(pitch)))
		yield(VisualServer, "frame_post_draw")
		yield(VisualServer, "frame_post_draw")
		var picture = view.get_texture().get_data()
		picture.flip_y()
		picture.save_png(config["out"].plus_file("godot_frame_%d.png" % (player.frame + 1)))
	out.close()
	print("kestrin check: done")
	quit()


func _store(file, v):
	file.store_float(v.x)
	file.store_float(v.y)
	file.store_float(v.z)


# Each vertex as one pixel of a float target, valued by the player shader's
# own functions (the part above its stages) with the player's uniforms:
# pass 0 the tension colour, pass 1 the movement from the rest position.
# The positions and UV2s are stored as the imported mesh stores them
# (`compressed`: Godot compresses UV2 to half floats by default, which
# addresses the wrong texel in a texture over 2,048 wide). Returns one
# Vector3 per vertex.
func _read_back(material, rest, uv2, compressed, kind):
	var side = int(ceil(sqrt(rest.size())))
	var places = PoolVector2Array()
	for i in range(rest.size()):
		places.append(Vector2((i % side + 0.5) / side * 2.0 - 1.0, (i / side + 0.5) / side * 2.0 - 1.0))
	var arrays = []
	arrays.resize(Mesh.ARRAY_MAX)
	arrays[Mesh.ARRAY_VERTEX] = rest
	arrays[Mesh.ARRAY_TEX_UV2] = uv2
	arrays[Mesh.ARRAY_TEX_UV] = places
	var points = ArrayMesh.new()
	points.add_surface_from_arrays(Mesh.PRIMITIVE_POINTS, arrays, [], compressed)
	var shader = Shader.new()
	shader.code = material.shader.code.split("// ---- the stages")[0] + """
varying vec3 value;
void vertex() {
	value = %s;
	POSITION = vec4(UV, 0.0, 1.0);
	POINT_SIZE = 1.0;
}
void fragment() { ALBEDO = value; }
""" % ["tension_colour(frame_texel(tension_texture, UV2))", "animated_vertex(VERTEX, UV2) - VERTEX"][kind]
	var readback = material.duplicate()
	readback.shader = shader
	var instance = MeshInstance.new()
	instance.mesh = points
	instance.material_override = readback
	instance.extra_cull_margin = 16384.0  # placed by the shader, not by its positions
	var target = Viewport.new()
	target.size = Vector2(side, side)
	target.hdr = true
	target.keep_3d_linear = true
	target.transparent_bg = true
	target.render_target_update_mode = Viewport.UPDATE_ONCE
	var camera = Camera.new()
	target.add_child(camera)
	camera.current = true
	target.add_child(instance)
	get_root().add_child(target)
	yield(VisualServer, "frame_post_draw")
	yield(VisualServer, "frame_post_draw")
	var image = target.get_texture().get_data()
	image.lock()
	var values = []
	for i in range(rest.size()):
		var c = image.get_pixel(i % side, i / side)
		values.append(Vector3(c.r, c.g, c.b))
	image.unlock()
	target.queue_free()
	return values
