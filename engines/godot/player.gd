# Plays kestrin's engine outputs: the rest mesh (mesh.glb) drawn with
# vertex_animation.shader, coloured by the tension texture and moved by the
# morph texture, whichever of the two the project holds, frame after frame.
# The camera below the player, if any, is turned to see the whole mesh.
extends Spatial

export(String, FILE) var mesh_path = "res://mesh.glb"
export(String, FILE) var tension_path = "res://tension.exr"
export(String, FILE) var morph_path = "res://corrected.exr"
export(int, "none", "displacement", "position") var morph_values = 1
# The textures' kestrin.rowsPerFrame header attribute: 1 up to 8,192 points.
export(int, 1, 16384) var rows_per_frame = 1
# The weight shown at full colour: 1, or the largest weight with clamping off.
export(float) var colour_range = 1.0
export(float) var frames_per_second = 24.0
export(bool) var playing = true

var material = ShaderMaterial.new()
var frame_count = 1
var frame = 0 setget set_frame
var meshes = []  # the MeshInstances the material is on
var _time = 0.0


func _ready():
	material.shader = preload("res://vertex_animation.shader")
	var tension = _texture(tension_path)
	var morph = _texture(morph_path) if morph_values != 0 else null
	material.set_shader_param("has_tension", tension != null)
	material.set_shader_param("morph_values", morph_values if morph != null else 0)
	material.set_shader_param("rows_per_frame", rows_per_frame)
	material.set_shader_param("colour_range", colour_range)
	for texture in [tension, morph]:
		if texture != null:
			frame_count = texture.get_height() / rows_per_frame
	if tension != null:
		material.set_shader_param("tension_texture", tension)
	if morph != null:
		material.set_shader_param("morph_texture", morph)
	var scene = load(mesh_path).instance()
	add_child(scene)
	_collect_meshes(scene)
	for mesh in meshes:
		mesh.material_override = material
		# Moved vertices may leave the rest mesh's box: never cull them.
		mesh.extra_cull_margin = 16384.0
	var camera = get_node_or_null("Camera")
	if camera != null and not meshes.empty():
		frame_box(camera, meshes[0].get_aabb(), Vector3(0, 0, 1))
	set_frame(0)


# Turns `camera` to look at `box` from `direction`, far enough back to see
# it whole (as the shot page frames its shot).
static func frame_box(camera, box, direction):
	var centre = box.position + box.size / 2.0
	var radius = max(box.size.length() / 2.0, 1e-6)
	var distance = radius / sin(deg2rad(camera.fov / 2.0)) * 0.85
	camera.near = distance / 100.0
	camera.far = distance * 10.0
	var up = Vector3(0, 1, 0) if abs(direction.normalized().y) < 0.99 else Vector3(0, 0, -1)
	camera.look_at_from_position(centre + direction.normalized() * distance, centre, up)


func _process(delta):
	if not playing:
		return
	_time += delta
	set_frame(int(_time * frames_per_second) % frame_count)


func set_frame(value):
	frame = clamp(value, 0, frame_count - 1)
	material.set_shader_param("frame", frame)


func _texture(path):
	return load(path) if path != "" and ResourceLoader.exists(path) else null


func _collect_meshes(node):
	if node is MeshInstance:
		meshes.append(node)
	for child in node.get_children():
		_collect_meshes(child)
