// Unreal material Custom node "TensionColour" (output Float 3): a tension
// texel (FrameTexel of tension.exr) as the shot page colours it, blue
// squashed, white at rest, red stretched. Inputs: Texel (Float 4),
// ColourRange (1, or the largest weight with clamping off). Display
// values: the material's colour input expects linear ones, hence the
// conversion. Written from Unreal's documentation, not run here.
float Amount = clamp((Texel.r - Texel.g) / ColourRange, -1.0, 1.0);
float3 End = Amount < 0.0 ? float3(33.0, 102.0, 172.0) / 255.0 : float3(178.0, 24.0, 43.0) / 255.0;
float3 Display = lerp(float3(1.0, 1.0, 1.0), End, abs(Amount));
return pow(Display, 2.2);
