// Unreal material Custom node "FrameTexel" (output Float 4): the texel of a
// kestrin vertex-animation texture for this vertex at frame Frame.
// Inputs: Values (Texture Object: the .exr), UV (TexCoord[1]: the glTF's
// TEXCOORD_1, top-down as in Unreal), Frame (from 0 at the texture's first
// row), RowsPerFrame (the header's kestrin.rowsPerFrame). The texel is
// loaded whole by row and column: nothing filtered, no mipmap.
// Written from Unreal's documentation, not run here.
uint Width, Height;
Values.GetDimensions(Width, Height);
int2 Texel = int2(floor(UV * float2(Width, Height)));
return Values.Load(int3(Texel.x, Texel.y + int(Frame) * int(RowsPerFrame), 0));
