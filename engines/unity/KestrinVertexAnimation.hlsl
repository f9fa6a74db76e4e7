// kestrin's vertex-animation textures played by a Unity material (built-in
// render pipeline): KestrinVertexAnimation.shader includes this program.
// Written from Unity's documentation, not run here; a test compiles it with
// glslang's HLSL front end against a stand-in for UnityCG.cginc.
//
// The mesh (mesh.glb through a glTF importer) carries the point's texel in
// its second UV set: TEXCOORD1 here, flipped to Unity's bottom-up v as the
// importer flips every UV. The textures (.exr) are imported as linear half
// floats (see docs/engines.md); texels are loaded whole by row and column,
// so no filtering or mipmap can blend one point with another.
#ifndef KESTRIN_VERTEX_ANIMATION_INCLUDED
#define KESTRIN_VERTEX_ANIMATION_INCLUDED

#include "UnityCG.cginc"

Texture2D<float4> _Tension;  // kestrin weights -o tension.exr
Texture2D<float4> _Morph;    // kestrin morph -o corrected.exr
int _Frame;                  // from 0 at the textures' first row
int _RowsPerFrame;           // the header's kestrin.rowsPerFrame
int _MorphValues;            // 0 none, 1 displacement, 2 position
float _ColourRange;          // 1, or the largest weight with clamping off

// Frame f of the point whose frame-0 texel uv1 points at: f * rowsPerFrame
// rows further from the image's top, which is v = 1 in Unity.
float4 KestrinFrameTexel(Texture2D<float4> values, float2 uv1)
{
    uint width, height;
    values.GetDimensions(width, height);
    int2 texel = int2(floor(uv1 * float2(width, height)));
    return values.Load(int3(texel.x, texel.y - _Frame * _RowsPerFrame, 0));
}

// Stretch (R) minus squash (G) as the shot page colours it, display values.
float3 KestrinTensionColour(float4 texel)
{
    const float3 squashEnd = float3(33.0, 102.0, 172.0) / 255.0;
    const float3 stretchEnd = float3(178.0, 24.0, 43.0) / 255.0;
    float amount = clamp((texel.r - texel.g) / _ColourRange, -1.0, 1.0);
    return lerp(float3(1.0, 1.0, 1.0), amount < 0.0 ? squashEnd : stretchEnd, abs(amount));
}

// The importers turn glTF's right-handed axes into Unity's left-handed ones
// by negating x; a morph texture's values are in glTF's axes.
float3 KestrinFromGltf(float3 value)
{
    return float3(-value.x, value.y, value.z);
}

struct KestrinVertex
{
    float4 position : POSITION;
    float2 uv1 : TEXCOORD1;
};

struct KestrinFragment
{
    float4 position : SV_POSITION;
    float3 colour : COLOR0;
};

KestrinFragment KestrinVert(KestrinVertex input)
{
    float3 position = input.position.xyz;
    if (_MorphValues != 0)
    {
        float3 value = KestrinFromGltf(KestrinFrameTexel(_Morph, input.uv1).rgb);
        position = _MorphValues == 1 ? position + value : value;
    }
    KestrinFragment output;
    output.position = UnityObjectToClipPos(position);
    output.colour = KestrinTensionColour(KestrinFrameTexel(_Tension, input.uv1));
    return output;
}

float4 KestrinFrag(KestrinFragment input) : SV_Target
{
    // Unity's linear colour space takes display values back to linear first.
    return float4(GammaToLinearSpace(input.colour), 1.0);
}

#endif
