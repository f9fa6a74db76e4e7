// kestrin's vertex-animation textures on the rest mesh: the tension as
// colour, the morph as displacement or position. The program is
// KestrinVertexAnimation.hlsl; see docs/engines.md for the import settings.
// Written from Unity's documentation, not run here.
Shader "Kestrin/Vertex Animation"
{
    Properties
    {
        _Tension ("Tension (.exr)", 2D) = "black" {}
        _Morph ("Morph (.exr)", 2D) = "black" {}
        [IntRange] _Frame ("Frame", Range(0, 16383)) = 0
        [IntRange] _RowsPerFrame ("Rows per frame (kestrin.rowsPerFrame)", Range(1, 16384)) = 1
        [Enum(None, 0, Displacement, 1, Position, 2)] _MorphValues ("Morph values", Int) = 0
        _ColourRange ("Colour range", Float) = 1
    }
    SubShader
    {
        Tags { "RenderType" = "Opaque" }
        Cull Off
        Pass
        {
            HLSLPROGRAM
            #pragma target 3.5
            #pragma vertex KestrinVert
            #pragma fragment KestrinFrag
            #include "KestrinVertexAnimation.hlsl"
            ENDHLSL
        }
    }
}
