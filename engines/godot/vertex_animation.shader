// Plays kestrin's vertex-animation textures on the rest mesh (mesh.glb):
// the tension texture (kestrin weights -o tension.exr) as colour, blue
// squashed, white at rest, red stretched; the morph texture (kestrin morph
// -o corrected.exr) as each vertex's displacement, or its position.
//
// UV2 is the glTF's TEXCOORD_1, the centre of the vertex's texel in the
// texture's first frame; frame f lies f * rows_per_frame rows further down.
// Texels are fetched whole, by row and column: a texel is one point, and
// nothing is filtered or blended.
shader_type spatial;
render_mode cull_disabled, unshaded;

uniform sampler2D tension_texture : hint_black;
uniform sampler2D morph_texture : hint_black;
uniform bool has_tension = false;
// 0: no morph texture; 1: it holds displacements (add them); 2: positions.
uniform int morph_values = 0;
// The frame, counting from 0 at the textures' first row.
uniform int frame = 0;
// The header's kestrin.rowsPerFrame: 1 up to 8,192 points.
uniform int rows_per_frame = 1;
// The weight shown at full colour: 1, or the largest weight with clamping off.
uniform float colour_range = 1.0;
// 0: flat colour; 1: lit from a fixed direction, as the shot page.
uniform float shading = 1.0;

// Point p of frame f: the texel UV2 points at in frame 0, f * rows_per_frame rows down.
vec4 frame_texel(sampler2D values, vec2 uv2) {
	ivec2 size = textureSize(values, 0);
	ivec2 texel = ivec2(floor(uv2 * vec2(size)));
	return texelFetch(values, texel + ivec2(0, frame * rows_per_frame), 0);
}

// The shot page's colours: stretch (R) minus squash (G), from white to the ends.
vec3 tension_colour(vec4 texel) {
	const vec3 squash_end = vec3(33.0, 102.0, 172.0) / 255.0;
	const vec3 stretch_end = vec3(178.0, 24.0, 43.0) / 255.0;
	float amount = clamp((texel.r - texel.g) / colour_range, -1.0, 1.0);
	return mix(vec3(1.0), amount < 0.0 ? squash_end : stretch_end, abs(amount));
}

// Godot draws in linear light and shows the result in sRGB: the colours
// above are the page's as shown, so they are taken back to linear here.
vec3 linear_from_display(vec3 c) {
	return mix(c / 12.92, pow((c + 0.055) / 1.055, vec3(2.4)), step(0.04045, c));
}

vec3 animated_vertex(vec3 rest, vec2 uv2) {
	if (morph_values == 0) return rest;
	vec3 value = frame_texel(morph_texture, uv2).rgb;
	return morph_values == 1 ? rest + value : value;
}

// ---- the stages: everything above is also used by tests/godot/project/check.gd

varying vec3 colour;

void vertex() {
	VERTEX = animated_vertex(VERTEX, UV2);
	colour = has_tension ? tension_colour(frame_texel(tension_texture, UV2)) : vec3(0.85);
}

void fragment() {
	// The normals are the rest mesh's: a moved mesh is lit by its faces instead.
	vec3 normal = normalize(cross(dFdx(VERTEX), dFdy(VERTEX)));
	float lit = 0.35 + 0.65 * abs(dot(normal, normalize(vec3(-0.4, 0.6, 1.0))));
	ALBEDO = linear_from_display(colour * mix(1.0, lit, shading));
}
