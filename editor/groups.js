// The lanes' grouping, as demo/README.md groups the tracks: the timeline,
// the camera, the bloom's mix, the particle rain and the snake tunnel. A
// track no group names (a new one in the source) goes to "other".

const GROUPS = [
  { name: 'timeline', tracks: ['Effect Index', 'PostProcessor Index', 'Effect Time'] },
  {
    name: 'camera',
    tracks: ['Camera Distance', 'Camera Pitch', 'Camera Yaw', 'Camera Roll',
      'Camera X Offset', 'Camera Y Offset', 'Camera Z Offset'],
  },
  { name: 'bloom', tracks: ['Bloom Cutoff', 'Bloom Dry', 'Bloom Wet', 'Exposure', 'Flash', 'Fade', 'Vignette'] },
  {
    name: 'rain',
    tracks: ['Floor Scale', 'RandToFloor', 'Floor Hole', 'Floor Height', 'RandToBall',
      'BallRadius', 'DriftSpeed', 'ParticleGlow'],
  },
  { name: 'snake', tracks: ['Snake Height', 'Snake Speed', 'Tunnel Radius'] },
];

const groupOf = new Map();
GROUPS.forEach((group, index) => group.tracks.forEach((track) => groupOf.set(track, index)));

// [{name, tracks:[name...]}] in the groups' order; within a group the
// document's track order; empty groups left out.
export function groupTracks(trackNames) {
  const out = GROUPS.map((g) => ({ name: g.name, tracks: [] }));
  const other = { name: 'other', tracks: [] };
  for (const name of trackNames) {
    const index = groupOf.get(name);
    (index === undefined ? other : out[index]).tracks.push(name);
  }
  out.push(other);
  return out.filter((g) => g.tracks.length > 0);
}
