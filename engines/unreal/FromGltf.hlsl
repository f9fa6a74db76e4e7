// Unreal material Custom node "FromGltf" (output Float 3): a morph texel's
// value (FrameTexel of corrected.exr: a displacement, or a position) turned
// from glTF's axes and metres into the mesh's local axes as Unreal's glTF
// importer turns positions: glTF's forward (+z), right (-x) and up (+y)
// become Unreal's +X, +Y and +Z, and metres centimetres at the default
// import scale, 100. Input: Value (Float 3). Check the axes against your
// importer's options. Written from Unreal's documentation, not run here.
return float3(Value.z, -Value.x, Value.y) * 100.0;
